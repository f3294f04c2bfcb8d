// The daemon's serving loop in a thread of the test, reached through the
// socket backend and through raw connections.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "device/FeatureReport.h"
#include "device/Wakeup.h"
#include "emulator/MouseSimServer.h"
#include "emulator/SocketBackend.h"
#include "startup/Startup.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using simproto::Connection;
using simproto::Message;
using simproto::Type;
using Bytes = std::vector<std::uint8_t>;

class MouseSimServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarvik-mousesim-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        path_ = (dir_ / "sim.sock").string();
        mouse_ = std::make_shared<VirtualMouse>();
        server_ = std::make_unique<MouseSimServer>(mouse_);
        std::string error;
        ASSERT_TRUE(server_->Listen(path_, &error)) << error;
        thread_ = std::thread([this] { served_ = server_->Run(stop_.Fd(), &runError_); });
    }
    void TearDown() override {
        StopServer();
        fs::remove_all(dir_);
    }
    void StopServer() {
        if (!thread_.joinable()) return;
        stop_.Signal();
        thread_.join();
    }

    Message Control(Type type, std::uint8_t code = 0, std::uint8_t code2 = 0) {
        std::string error;
        auto conn = Connection::Connect(path_, &error);
        EXPECT_TRUE(conn) << error;
        if (!conn) return {};
        Message m;
        m.type = type;
        m.request = 77;
        m.code = code;
        m.code2 = code2;
        auto reply = conn->Call(m, 3000);
        EXPECT_TRUE(reply);
        return reply.value_or(Message{});
    }

    fs::path dir_;
    std::string path_;
    std::shared_ptr<VirtualMouse> mouse_;
    std::unique_ptr<MouseSimServer> server_;
    Wakeup stop_;
    std::thread thread_;
    bool served_ = false;
    std::string runError_;
};

// Waits until the thread whose id `tid` will hold sleeps in the kernel: a read
// that blocks in poll(). Bounded only as a safety net.
bool WaitUntilBlocked(const std::atomic<pid_t>& tid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (const pid_t t = tid.load()) {
            std::ifstream in("/proc/self/task/" + std::to_string(t) + "/stat");
            std::string stat;
            std::getline(in, stat);
            // The state letter follows the parenthesised command name.
            const auto close = stat.rfind(')');
            if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'S') return true;
        }
        std::this_thread::yield();
    }
    return false;
}

// Collects hotplug events from the backend's watcher thread.
struct EventLog {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<hid::HotplugEvent> events;
    hid::HotplugHandler Handler() {
        return [this](hid::HotplugEvent e) {
            std::lock_guard lock(mutex);
            events.push_back(e);
            cv.notify_all();
        };
    }
    bool WaitFor(std::size_t n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(5), [&] { return events.size() >= n; });
    }
};

const Bytes kStatusQuery = [] {
    const FeatureReport r = FeatureReport::StatusQuery(1);
    return Bytes(r.bytes.begin(), r.bytes.end());
}();

TEST_F(MouseSimServerTest, SocketIsPrivateAndRemovedOnStop) {
    struct stat st {};
    ASSERT_EQ(lstat(path_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A second daemon on the same socket refuses to start.
    MouseSimServer second(mouse_);
    std::string error;
    EXPECT_FALSE(second.Listen(path_, &error));
    EXPECT_NE(error.find("another"), std::string::npos) << error;
    StopServer();
    EXPECT_TRUE(served_) << runError_;
    EXPECT_FALSE(fs::exists(path_));

    // A loop that could never be stopped does not start serving quietly.
    MouseSimServer third(mouse_);
    ASSERT_TRUE(third.Listen(path_, &error)) << error;
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    EXPECT_FALSE(third.Run(pipeFds[0], &error));
    EXPECT_EQ(error, "the stop descriptor is not open");
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(MouseSimServerTest, BackendSeesBothIdentitiesAndReachesTheFirmware) {
    SocketBackend backend(path_);
    const std::vector<hid::InterfaceInfo> list = backend.Enumerate();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], (hid::InterfaceInfo{"sim:A:input", kVendorId, kProductIdA, 33, 0}));
    EXPECT_EQ(list[1], (hid::InterfaceInfo{"sim:A:feature", kVendorId, kProductIdA, 0, 33}));
    EXPECT_EQ(list[3], (hid::InterfaceInfo{"sim:B:feature", kVendorId, kProductIdB, 0, 33}));

    auto feature = backend.Open("sim:A:feature");
    ASSERT_TRUE(feature);
    EXPECT_EQ(feature->Info(), list[1]);
    EXPECT_EQ(backend.Open("sim:C:feature"), nullptr);

    ASSERT_TRUE(Control(Type::SetBattery, 42, 1).code);
    ASSERT_TRUE(feature->SetFeature(kStatusQuery));
    EXPECT_EQ(mouse_->Snapshot().framesReceived, 1u);
    Bytes reply(33, 0);
    reply[0] = 0x0C;
    ASSERT_TRUE(feature->GetFeature(reply));
    // What the in-process mouse answers to the same query, byte for byte.
    Bytes direct(33, 0);
    direct[0] = 0x0C;
    auto other = std::make_shared<VirtualMouse>();
    other->SetBattery(42);
    other->SetChargeState(1);
    ASSERT_TRUE(other->SetFeature(Identity::A, other->Generation(Identity::A), kStatusQuery));
    ASSERT_TRUE(other->GetFeature(Identity::A, other->Generation(Identity::A), direct));
    EXPECT_EQ(reply, direct);
    // An input interface takes no feature reports.
    auto input = backend.Open("sim:A:input");
    ASSERT_TRUE(input);
    EXPECT_FALSE(input->SetFeature(kStatusQuery));
}

TEST_F(MouseSimServerTest, DpiPressReachesEveryClientWithTheInputInterfaceOpen) {
    SocketBackend first(path_), second(path_);
    auto a1 = first.Open("sim:A:input");
    auto a2 = second.Open("sim:A:input");
    auto b = second.Open("sim:B:input");
    ASSERT_TRUE(a1 && a2 && b);
    Message r = Control(Type::PressDpi, 3);
    ASSERT_EQ(r.code, 1) << r.text;
    for (hid::Device* d : {a1.get(), a2.get()}) {
        Bytes report(33, 0xFF);
        const hid::ReadResult got = d->ReadInput(report, 3000);
        ASSERT_EQ(got.status, hid::ReadStatus::Report);
        ASSERT_EQ(got.length, 33u);
        EXPECT_EQ(report[0], 5);
        EXPECT_EQ(report[1], 6);
        EXPECT_EQ(report[4], 3);
    }
    // The report went to A only; B's reader sees nothing and a wake-up ends its wait.
    Bytes report(33);
    EXPECT_EQ(b->ReadInput(report, 50).status, hid::ReadStatus::Timeout);
    std::atomic<pid_t> readerTid{0};
    auto blocked = std::async(std::launch::async, [&] {
        readerTid = ::gettid();
        return b->ReadInput(report, -1).status;
    });
    ASSERT_TRUE(WaitUntilBlocked(readerTid));
    b->Wake();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(blocked.get(), hid::ReadStatus::Woken);
    // A level that is not enabled is refused and reports nothing.
    EXPECT_EQ(Control(Type::PressDpi, 8).code, 0);
}

TEST_F(MouseSimServerTest, FeatureCallsGoThroughWhileAReadIsBlockedOnTheSameHandle) {
    SocketBackend backend(path_);
    ASSERT_TRUE(Control(Type::SetBattery, 42, 0).code);
    auto handle = backend.Open("sim:A:feature");
    ASSERT_TRUE(handle);
    // A feature interface gets no input reports: the read waits until woken.
    Bytes report(33);
    auto blocked = std::async(std::launch::async, [&] { return handle->ReadInput(report, -1).status; });
    // Each reply must reach its caller whichever of the two threads is reading
    // the connection at the time.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(handle->SetFeature(kStatusQuery)) << i;
        Bytes reply(33, 0);
        reply[0] = 0x0C;
        ASSERT_TRUE(handle->GetFeature(reply)) << i;
        EXPECT_EQ(reply[2], 0x20) << i;
        EXPECT_EQ(reply[18], 42) << i;
    }
    EXPECT_EQ(blocked.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    handle->Wake();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(blocked.get(), hid::ReadStatus::Woken);
    EXPECT_EQ(mouse_->Snapshot().framesReceived, 20u);
}

TEST_F(MouseSimServerTest, UnplugKillsOpenHandlesAndIsAnnounced) {
    SocketBackend backend(path_);
    EventLog log;
    backend.SetHotplugHandler(log.Handler());
    auto inputA = backend.Open("sim:A:input");
    auto featureA = backend.Open("sim:A:feature");
    auto featureB = backend.Open("sim:B:feature");
    ASSERT_TRUE(inputA && featureA && featureB);
    ASSERT_EQ(Control(Type::Unplug, 0).code, 1);
    // The reader of A learns that its device is gone.
    Bytes report(33);
    EXPECT_EQ(inputA->ReadInput(report, 3000).status, hid::ReadStatus::Failed);
    EXPECT_FALSE(featureA->SetFeature(kStatusQuery));
    EXPECT_TRUE(featureB->SetFeature(kStatusQuery));
    const auto list = backend.Enumerate();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, "sim:B:input");
    ASSERT_EQ(Control(Type::Plug, 0).code, 1);
    // Plugged again: a fresh open works, the old handle stays dead.
    EXPECT_TRUE(backend.Open("sim:A:feature"));
    EXPECT_FALSE(featureA->SetFeature(kStatusQuery));
    ASSERT_TRUE(log.WaitFor(2));
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.events[0], hid::HotplugEvent::Removal);
    EXPECT_EQ(log.events[1], hid::HotplugEvent::Arrival);
}

TEST_F(MouseSimServerTest, LosingTheDaemonIsARemovalOfEverything) {
    SocketBackend backend(path_);
    EventLog log;
    backend.SetHotplugHandler(log.Handler());
    auto input = backend.Open("sim:B:input");
    ASSERT_TRUE(input);
    ASSERT_EQ(Control(Type::Unplug, 1).code, 1);
    ASSERT_TRUE(log.WaitFor(1));
    StopServer();
    ASSERT_TRUE(log.WaitFor(2));
    {
        std::lock_guard lock(log.mutex);
        EXPECT_EQ(log.events[1], hid::HotplugEvent::Removal);
    }
    Bytes report(33);
    EXPECT_EQ(input->ReadInput(report, 3000).status, hid::ReadStatus::Failed);
    EXPECT_TRUE(backend.Enumerate().empty());
    backend.SetHotplugHandler({});
}

// Writes raw bytes on a fresh connection and returns what comes back before
// the daemon closes it or goes quiet.
Bytes RawExchange(const std::string& path, const Bytes& bytes, bool closeWriteSide) {
    auto conn = Connection::Connect(path, nullptr);
    if (!conn) return {};
    ::send(conn->Fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (closeWriteSide) ::shutdown(conn->Fd(), SHUT_WR);
    Bytes got;
    timeval tv{0, 300000};
    ::setsockopt(conn->Fd(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::uint8_t buf[4096];
    ssize_t n;
    while ((n = ::recv(conn->Fd(), buf, sizeof buf, 0)) > 0) got.insert(got.end(), buf, buf + n);
    return got;
}

TEST_F(MouseSimServerTest, GarbageTruncationAndVanishingClientsLeaveTheDaemonServing) {
    SocketBackend steady(path_);
    auto feature = steady.Open("sim:A:feature");
    ASSERT_TRUE(feature);

    Message hotplug;
    hotplug.type = Type::Hotplug;
    Message enumerate;
    enumerate.type = Type::Enumerate;
    enumerate.request = 5;
    const Bytes enumerateFrame = simproto::Encode(enumerate);

    struct Case {
        const char* name;
        Bytes bytes;
        bool expectError; // an Error message comes back
    };
    Bytes random(3000);
    for (std::size_t i = 0; i < random.size(); ++i) random[i] = static_cast<std::uint8_t>(i * 131 + 7);
    const Case cases[] = {
        {"unknown type in a good frame", {2, 0, 0, 0, 0x42, 0x00}, true},
        {"request cut short inside its frame", {3, 0, 0, 0, 0x01, 0x05, 0x00}, true},
        {"oversize length", {0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}, true},
        {"zero length", {0, 0, 0, 0}, true},
        {"random bytes", random, true},
        {"a reply type sent as a request", simproto::Encode(hotplug), true},
        {"vanishes inside the length prefix", {0x10, 0x00}, false},
        {"vanishes inside the body", Bytes(enumerateFrame.begin(), enumerateFrame.end() - 2), false},
    };
    for (const Case& c : cases) {
        const Bytes got = RawExchange(path_, c.bytes, true);
        if (c.expectError) {
            ASSERT_GE(got.size(), 5u) << c.name;
            EXPECT_EQ(got[4], static_cast<std::uint8_t>(Type::Error)) << c.name;
        }
        // The steady client is still served after each.
        EXPECT_TRUE(feature->SetFeature(kStatusQuery)) << c.name;
        EXPECT_EQ(steady.Enumerate().size(), 4u) << c.name;
    }
    // A good request after garbage on the same connection is still answered.
    Bytes mixed = {2, 0, 0, 0, 0x42, 0x00};
    mixed.insert(mixed.end(), enumerateFrame.begin(), enumerateFrame.end());
    const Bytes got = RawExchange(path_, mixed, false);
    simproto::FrameReader reader;
    reader.Feed(got);
    Bytes body;
    std::vector<Type> types;
    while (reader.Next(body) == simproto::FrameReader::Status::Body)
        types.push_back(simproto::Decode(body)->type);
    EXPECT_EQ(types, (std::vector<Type>{Type::Error, Type::EnumerateReply}));
    EXPECT_EQ(mouse_->Snapshot().malformedFrames, 0u);
}

// A client that opens without ever closing holds at most the daemon's limit of
// handles on its connection (the daemon's memory would grow with each open
// otherwise); closing one, or a new connection, is served again.
TEST_F(MouseSimServerTest, OneConnectionHoldsABoundedNumberOfHandles) {
    std::string error;
    auto conn = Connection::Connect(path_, &error);
    ASSERT_TRUE(conn) << error;
    std::uint32_t request = 1;
    const auto open = [&](Connection& c) {
        Message m;
        m.type = Type::Open;
        m.request = request++;
        m.text = "sim:A:feature";
        const auto reply = c.Call(m, 3000);
        EXPECT_TRUE(reply && reply->type == Type::OpenReply);
        return reply ? reply->handle : 0u;
    };
    std::vector<std::uint32_t> handles;
    for (std::size_t i = 0; i < MouseSimServer::kMaxHandlesPerClient; ++i) handles.push_back(open(*conn));
    EXPECT_EQ(std::count(handles.begin(), handles.end(), 0u), 0);
    EXPECT_EQ(open(*conn), 0u); // one more is refused

    Message close;
    close.type = Type::Close;
    close.handle = handles.back();
    ASSERT_TRUE(conn->Send(close));
    EXPECT_NE(open(*conn), 0u); // the freed place is served again

    auto other = Connection::Connect(path_, &error);
    ASSERT_TRUE(other) << error;
    EXPECT_NE(open(*other), 0u); // the limit is per connection
}

} // namespace
} // namespace tarvik

namespace tarvik {
namespace {

// A daemon that stopped accepting (stopped with SIGSTOP, say) fills its queue
// of new connections; a client must then give up at its deadline instead of
// waiting in connect() for ever.
TEST(SocketConnect, GivesUpOnADaemonWhoseQueueIsFull) {
    std::string pattern = (fs::temp_directory_path() / "tarvik-connect-XXXXXX").string();
    const fs::path dir = mkdtemp(pattern.data());
    const std::string path = (dir / "stuck.sock").string();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.data(), path.size());
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 0), 0); // and never accept
    std::vector<int> queued;
    for (int i = 0; i < 64; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            break;
        }
        queued.push_back(fd);
    }
    ASSERT_FALSE(queued.empty());
    std::string error;
    EXPECT_FALSE(Connection::Connect(path, &error, 200));
    EXPECT_EQ(error, "no answer (its queue of connections stays full)");
    for (int fd : queued) ::close(fd);
    ::close(listener);
    fs::remove_all(dir);
}

// Anyone may bind a name in a shared folder first: the client talks only to a
// daemon of its own user. Needs root to be another user for a moment.
TEST(SocketConnect, RefusesADaemonOfAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to serve a socket as another user";
    std::string pattern = (fs::temp_directory_path() / "tarvik-impostor-XXXXXX").string();
    const fs::path dir = mkdtemp(pattern.data());
    fs::permissions(dir, fs::perms::all);
    const std::string path = (dir / "impostor.sock").string();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The impostor: another user, serving the name.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(1);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.data(), path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0)
            _exit(1);
        const char one = 1;
        if (::write(ready[1], &one, 1) != 1) _exit(1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char got = 0;
    ASSERT_EQ(::read(ready[0], &got, 1), 1);
    std::string error;
    EXPECT_FALSE(Connection::Connect(path, &error, 1000));
    EXPECT_EQ(error, "it is served by another user (uid 65534)");
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    fs::remove_all(dir);
}

// Without $XDG_RUNTIME_DIR the socket lives in a private folder of the user,
// which is used only when nobody else could have made or changed it.
TEST(SocketConnect, FallbackFolderIsPrivate) {
    std::string pattern = (fs::temp_directory_path() / "tarvik-runtime-base-XXXXXX").string();
    const fs::path base = mkdtemp(pattern.data());
    const fs::path folder = base / ("tarvik-runtime-" + std::to_string(::getuid()));
    struct Case {
        const char* what;
        std::function<void()> plant; // what is at the name beforehand
        bool usable;
    };
    const Case cases[] = {
        {"nothing there", [] {}, true},
        {"a folder of the user open to all",
         [&] {
             fs::create_directory(folder);
             fs::permissions(folder, fs::perms::all);
         },
         true},
        {"a link to another folder", [&] { fs::create_directory_symlink(base, folder); }, false},
        {"a file", [&] { std::ofstream(folder) << "x"; }, false},
        {"a folder of another user",
         [&] {
             fs::create_directory(folder);
             if (::geteuid() == 0 && ::chown(folder.c_str(), 65534, 65534) != 0) std::abort();
         },
         ::geteuid() != 0}, // only root can give a folder away; for others it stays theirs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        c.plant();
        const fs::path got = PrivateRuntimeFolder(base);
        EXPECT_EQ(got.empty(), !c.usable) << got;
        if (c.usable) {
            struct stat st {};
            ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, 0700u);
            EXPECT_EQ(st.st_uid, ::getuid());
        }
    }
    fs::remove_all(base);

    // The default socket follows: $XDG_RUNTIME_DIR, else the private folder.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = runtime ? runtime : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    const fs::path fallback = DefaultMouseSimSocket();
    EXPECT_EQ(fallback, PrivateRuntimeFolder() / "tarvik-mousesim.sock");
    const fs::path temp = fs::temp_directory_path();
    ::setenv("XDG_RUNTIME_DIR", temp.c_str(), 1);
    EXPECT_EQ(fs::path(DefaultMouseSimSocket()), temp / "tarvik-mousesim.sock");
    if (runtime)
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
} // namespace tarvik
