#include <gtest/gtest.h>

#include <vector>

#include "emulator/MouseSimProtocol.h"

namespace tarvik::simproto {
namespace {

using Bytes = std::vector<std::uint8_t>;

Message Make(Type type) {
    Message m;
    m.type = type;
    return m;
}

// One message of every type with each of its fields set to something non-zero.
std::vector<Message> EveryType() {
    std::vector<Message> all;
    auto add = [&](Type t, auto fill) {
        Message m = Make(t);
        fill(m);
        all.push_back(m);
    };
    const hid::InterfaceInfo input{"sim:A:input", 0x248A, 0x5B2E, 33, 0};
    const hid::InterfaceInfo feature{"sim:B:feature", 0x248A, 0x5B2F, 0, 33};
    add(Type::Enumerate, [](Message& m) { m.request = 7; });
    add(Type::Open, [](Message& m) { m.request = 0xFFFFFFFF, m.text = "sim:A:input"; });
    add(Type::Close, [](Message& m) { m.handle = 3; });
    add(Type::SetFeature, [](Message& m) { m.request = 9, m.handle = 4, m.data = Bytes(33, 0xC5); });
    add(Type::GetFeature, [](Message& m) { m.request = 10, m.handle = 4, m.data = {0x0C, 0, 0}; });
    add(Type::Watch, [](Message& m) { m.request = 12; });
    add(Type::Plug, [](Message& m) { m.request = 1, m.code = 1; });
    add(Type::Unplug, [](Message& m) { m.request = 2, m.code = 0; });
    add(Type::PressDpi, [](Message& m) { m.request = 3, m.code = 4; });
    add(Type::SetBattery, [](Message& m) { m.request = 4, m.code = 55, m.code2 = 2; });
    add(Type::SetSensor, [](Message& m) { m.request = 5, m.code = 0x25; });
    add(Type::Dump, [](Message& m) { m.request = 6, m.code = 1; });
    add(Type::EnumerateReply, [&](Message& m) { m.request = 7, m.interfaces = {input, feature}; });
    add(Type::OpenReply, [&](Message& m) { m.request = 8, m.handle = 12, m.info = input; });
    add(Type::SetFeatureReply, [](Message& m) { m.request = 9, m.code = 1; });
    add(Type::GetFeatureReply, [](Message& m) { m.request = 10, m.code = 1, m.data = Bytes(33, 0x20); });
    add(Type::Input, [](Message& m) { m.handle = 12, m.data = {5, 6, 0, 1, 2}; });
    add(Type::Gone, [](Message& m) { m.handle = 12; });
    add(Type::Hotplug, [](Message& m) { m.code = 1; });
    add(Type::ControlReply, [](Message& m) { m.request = 11, m.code = 1, m.text = std::string(5000, '{'); });
    add(Type::Error, [](Message& m) { m.request = 0, m.text = "unknown message type"; });
    return all;
}

TEST(MouseSimProtocol, EveryMessageSurvivesTheStreamByteByByte) {
    const std::vector<Message> all = EveryType();
    Bytes stream;
    for (const Message& m : all) {
        Bytes frame = Encode(m);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    FrameReader reader;
    std::vector<Message> got;
    Bytes body;
    for (std::uint8_t byte : stream) {
        reader.Feed({&byte, 1});
        while (reader.Next(body) == FrameReader::Status::Body) {
            std::string error;
            auto m = Decode(body, &error);
            ASSERT_TRUE(m) << error;
            got.push_back(*m);
        }
    }
    EXPECT_EQ(got, all);
    EXPECT_EQ(reader.Pending(), 0u);
}

TEST(MouseSimProtocol, DamagedBodiesAreRefusedWithAReason) {
    for (const Message& m : EveryType()) {
        const Bytes frame = Encode(m);
        const Bytes body(frame.begin() + kPrefix, frame.end());
        // Every cut short of the whole body is refused.
        for (std::size_t n = 0; n < body.size(); ++n) {
            Bytes cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(n));
            std::string error;
            EXPECT_FALSE(Decode(cut, &error)) << static_cast<int>(m.type) << " cut at " << n;
            EXPECT_FALSE(error.empty());
        }
        Bytes longer = body;
        longer.push_back(0);
        EXPECT_FALSE(Decode(longer)) << "trailing byte after type " << static_cast<int>(m.type);
    }
    struct Case {
        const char* name;
        Bytes body;
    };
    const Case cases[] = {
        {"unknown type", {0x42, 1, 2, 3}},
        {"reply type 0x83 is not used", {0x83, 0, 0, 0, 0}},
        {"text length past the end", {0x02, 1, 0, 0, 0, 0xFF, 0xFF, 'a'}},
        {"interface count above the limit", {0x81, 1, 0, 0, 0, 0xFF, 0x00}},
        {"interface count past the end", {0x81, 1, 0, 0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_FALSE(Decode(c.body)) << c.name;
}

TEST(MouseSimProtocol, ImpossibleLengthsBreakTheStream) {
    for (const Bytes& prefix :
         {Bytes{0, 0, 0, 0}, Bytes{0x01, 0x00, 0x01, 0x00}, Bytes{0xFF, 0xFF, 0xFF, 0xFF}}) {
        FrameReader reader;
        reader.Feed(prefix);
        Bytes body;
        EXPECT_EQ(reader.Next(body), FrameReader::Status::Broken);
        reader.Feed(Encode(Make(Type::Watch)));
        EXPECT_EQ(reader.Next(body), FrameReader::Status::Broken) << "stays broken";
    }
    // The longest allowed body is accepted once it has all arrived.
    FrameReader reader;
    Bytes frame = {0x00, 0x00, 0x01, 0x00};
    frame.resize(kPrefix + kMaxBody, 0xAB);
    reader.Feed({frame.data(), frame.size() - 1});
    Bytes body;
    EXPECT_EQ(reader.Next(body), FrameReader::Status::NeedMore);
    reader.Feed({frame.data() + frame.size() - 1, 1});
    EXPECT_EQ(reader.Next(body), FrameReader::Status::Body);
    EXPECT_EQ(body.size(), kMaxBody);
}

TEST(MouseSimProtocol, OverlongFieldsAreCutToFitOneBody) {
    Message m = Make(Type::ControlReply);
    m.text = std::string(kMaxBody * 2, 'x');
    Bytes frame = Encode(m);
    EXPECT_LE(frame.size(), kPrefix + kMaxBody);
    auto back = Decode({frame.data() + kPrefix, frame.size() - kPrefix});
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text.size(), kMaxField);

    Message list = Make(Type::EnumerateReply);
    list.interfaces.assign(300, hid::InterfaceInfo{std::string(900, 'p'), 1, 2, 3, 4});
    frame = Encode(list);
    EXPECT_LE(frame.size(), kPrefix + kMaxBody);
    back = Decode({frame.data() + kPrefix, frame.size() - kPrefix});
    ASSERT_TRUE(back);
    EXPECT_GT(back->interfaces.size(), 0u);
    EXPECT_LT(back->interfaces.size(), 300u);
}

} // namespace
} // namespace tarvik::simproto
