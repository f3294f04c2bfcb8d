#include "emulator/MouseSimProtocol.h"

#include <algorithm>

namespace tarvik::simproto {

namespace {

class Writer {
public:
    void U8(std::uint8_t v) { out.push_back(v); }
    void U16(std::uint16_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void Bytes(std::span<const std::uint8_t> b) {
        const std::size_t n = std::min(b.size(), kMaxField);
        U16(static_cast<std::uint16_t>(n));
        out.insert(out.end(), b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
    }
    void Text(const std::string& s) { Bytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}); }
    void Info(const hid::InterfaceInfo& i) {
        Text(i.path);
        U16(i.vendorId);
        U16(i.productId);
        U16(i.inputReportLength);
        U16(i.featureReportLength);
    }
    std::vector<std::uint8_t> out;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> in) : in_(in) {}
    bool U8(std::uint8_t& v) {
        if (!Need(1)) return false;
        v = in_[pos_++];
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (!Need(2)) return false;
        v = static_cast<std::uint16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        if (!Need(4)) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t{in_[pos_ + static_cast<std::size_t>(i)]} << (8 * i);
        pos_ += 4;
        return true;
    }
    bool Bytes(std::vector<std::uint8_t>& b) {
        std::uint16_t n = 0;
        if (!U16(n) || n > kMaxField || !Need(n)) return false;
        b.assign(in_.begin() + static_cast<std::ptrdiff_t>(pos_),
                 in_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return true;
    }
    bool Text(std::string& s) {
        std::vector<std::uint8_t> b;
        if (!Bytes(b)) return false;
        s.assign(b.begin(), b.end());
        return true;
    }
    bool Info(hid::InterfaceInfo& i) {
        return Text(i.path) && U16(i.vendorId) && U16(i.productId) && U16(i.inputReportLength) &&
               U16(i.featureReportLength);
    }
    bool AtEnd() const { return pos_ == in_.size(); }

private:
    bool Need(std::size_t n) const { return in_.size() - pos_ >= n; }
    std::span<const std::uint8_t> in_;
    std::size_t pos_ = 0;
};

// Which fields each type carries, in wire order.
enum Field : unsigned {
    kRequest = 1,
    kHandle = 2,
    kCode = 4,
    kCode2 = 8,
    kText = 16,
    kData = 32,
    kInfo = 64,
    kInterfaces = 128,
};

std::optional<unsigned> FieldsOf(Type type) {
    switch (type) {
    case Type::Enumerate:
        return kRequest;
    case Type::Open:
        return kRequest | kText;
    case Type::Close:
        return kHandle;
    case Type::SetFeature:
    case Type::GetFeature:
        return kRequest | kHandle | kData;
    case Type::Watch:
        return kRequest;
    case Type::Plug:
    case Type::Unplug:
    case Type::PressDpi:
    case Type::SetSensor:
    case Type::Dump:
        return kRequest | kCode;
    case Type::SetBattery:
        return kRequest | kCode | kCode2;
    case Type::EnumerateReply:
        return kRequest | kInterfaces;
    case Type::OpenReply:
        return kRequest | kHandle | kInfo;
    case Type::SetFeatureReply:
        return kRequest | kCode;
    case Type::GetFeatureReply:
        return kRequest | kCode | kData;
    case Type::Input:
        return kHandle | kData;
    case Type::Gone:
        return kHandle;
    case Type::Hotplug:
        return kCode;
    case Type::ControlReply:
        return kRequest | kCode | kText;
    case Type::Error:
        return kRequest | kText;
    }
    return std::nullopt;
}

} // namespace

std::vector<std::uint8_t> Encode(const Message& m) {
    Writer w;
    w.U32(0); // length, filled in below
    w.U8(static_cast<std::uint8_t>(m.type));
    const unsigned fields = FieldsOf(m.type).value_or(0);
    if (fields & kRequest) w.U32(m.request);
    if (fields & kHandle) w.U32(m.handle);
    if (fields & kCode) w.U8(m.code);
    if (fields & kCode2) w.U8(m.code2);
    if (fields & kText) w.Text(m.text);
    if (fields & kData) w.Bytes(m.data);
    if (fields & kInfo) w.Info(m.info);
    if (fields & kInterfaces) {
        // Interfaces beyond what fits in one body are left out.
        const std::size_t limit = std::min(m.interfaces.size(), kMaxInterfaces);
        const std::size_t countAt = w.out.size();
        w.U16(0);
        std::uint16_t count = 0;
        for (std::size_t i = 0; i < limit; ++i) {
            const std::size_t before = w.out.size();
            w.Info(m.interfaces[i]);
            if (w.out.size() - kPrefix > kMaxBody) {
                w.out.resize(before);
                break;
            }
            ++count;
        }
        w.out[countAt] = static_cast<std::uint8_t>(count);
        w.out[countAt + 1] = static_cast<std::uint8_t>(count >> 8);
    }
    // Every other field is bounded so that a body stays within kMaxBody.
    const auto body = static_cast<std::uint32_t>(w.out.size() - kPrefix);
    for (int i = 0; i < 4; ++i)
        w.out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(body >> (8 * i));
    return std::move(w.out);
}

std::optional<Message> Decode(std::span<const std::uint8_t> body, std::string* error) {
    const auto fail = [&](const char* why) -> std::optional<Message> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (body.empty()) return fail("empty message");
    if (body.size() > kMaxBody) return fail("message too long");
    Message m;
    m.type = static_cast<Type>(body[0]);
    const std::optional<unsigned> fields = FieldsOf(m.type);
    if (!fields) return fail("unknown message type");
    Reader r(body.subspan(1));
    bool ok = true;
    if (ok && (*fields & kRequest)) ok = r.U32(m.request);
    if (ok && (*fields & kHandle)) ok = r.U32(m.handle);
    if (ok && (*fields & kCode)) ok = r.U8(m.code);
    if (ok && (*fields & kCode2)) ok = r.U8(m.code2);
    if (ok && (*fields & kText)) ok = r.Text(m.text);
    if (ok && (*fields & kData)) ok = r.Bytes(m.data);
    if (ok && (*fields & kInfo)) ok = r.Info(m.info);
    if (ok && (*fields & kInterfaces)) {
        std::uint16_t count = 0;
        ok = r.U16(count) && count <= kMaxInterfaces;
        for (std::uint16_t i = 0; ok && i < count; ++i) {
            hid::InterfaceInfo info;
            ok = r.Info(info);
            if (ok) m.interfaces.push_back(std::move(info));
        }
    }
    if (!ok) return fail("message cut short or a field too long");
    if (!r.AtEnd()) return fail("bytes left over after the message");
    return m;
}

void FrameReader::Feed(std::span<const std::uint8_t> bytes) {
    if (broken_) return;
    // Drop what was already handed out before growing the buffer.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > kMaxBody) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

FrameReader::Status FrameReader::Next(std::vector<std::uint8_t>& body) {
    if (broken_) return Status::Broken;
    if (Pending() < kPrefix) return Status::NeedMore;
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < kPrefix; ++i) length |= std::uint32_t{buffer_[start_ + i]} << (8 * i);
    if (length == 0 || length > kMaxBody) {
        broken_ = true;
        buffer_.clear();
        start_ = 0;
        return Status::Broken;
    }
    if (Pending() < kPrefix + length) return Status::NeedMore;
    const auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + kPrefix);
    body.assign(first, first + static_cast<std::ptrdiff_t>(length));
    start_ += kPrefix + length;
    return Status::Body;
}

} // namespace tarvik::simproto
