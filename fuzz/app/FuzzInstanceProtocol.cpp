// Feeds arbitrary bytes to what the running window and tarvikctl read from
// each other and from the data folder: request lines, the ctl request and
// result JSON, and the owner record of the folder's lock file. Nothing may
// crash, and whatever parses must format back to something that parses the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../FuzzCheck.h"
#include "commands/CtlCommands.h"
#include "instance/InstanceProtocol.h"

using namespace tarvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto request = app::ParseRequestLine(text, app::kMaxReplyLine)) {
        CHECK(!request->verb.empty());
        CHECK(app::ParseRequestLine(app::FormatRequestLine(request->verb, request->args),
                                    app::kMaxReplyLine) == request);
    }
    if (const auto owner = app::ParseOwnerRecord(text)) {
        CHECK(owner->pid > 0 && owner->socket.is_absolute());
        CHECK(app::ParseOwnerRecord(app::FormatOwnerRecord(*owner)) == owner);
    }
    if (const auto request = cli::ParseCtlRequest(text)) {
        const auto again = cli::ParseCtlRequest(cli::FormatCtlRequest(*request));
        CHECK(again && again->command == request->command && again->args == request->args);
    }
    if (const auto result = cli::ParseCtlResult(text))
        CHECK(cli::ParseCtlResult(cli::FormatCtlResult(*result)) == result);
    return 0;
}
