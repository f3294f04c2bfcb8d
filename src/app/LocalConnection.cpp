#include "app/LocalConnection.h"

#include <QPointer>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tarvik::app {

LocalConnection::LocalConnection(int fd, std::size_t maxLineBytes, QObject* parent)
    : QObject(parent), fd_(fd), maxLine_(maxLineBytes) {
    readNotifier_ = new QSocketNotifier(static_cast<qintptr>(fd_), QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { ReadInput(); });
    writeNotifier_ = new QSocketNotifier(static_cast<qintptr>(fd_), QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false); // only while output waits
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { WriteOutput(); });
}

LocalConnection::~LocalConnection() {
    Close();
}

std::optional<std::string> LocalConnection::ReadLine() {
    const std::size_t end = std::string_view(input_).substr(0, maxLine_).find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    std::string line = input_.substr(0, end + 1);
    input_.erase(0, end + 1);
    if (fd_ >= 0 && input_.size() <= maxLine_) readNotifier_->setEnabled(true);
    return line;
}

void LocalConnection::Write(std::string_view data) {
    if (fd_ < 0 || data.empty()) return;
    output_.erase(0, written_);
    written_ = 0;
    output_ += data;
    WriteOutput();
}

void LocalConnection::Abort() {
    input_.clear();
    HangUp();
}

void LocalConnection::ReadInput() {
    if (fd_ < 0) return;
    bool hungUp = false;
    bool received = false;
    // Reads no more than one line's worth ahead of the reader.
    while (input_.size() <= maxLine_) {
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            input_.append(chunk, static_cast<std::size_t>(n));
            received = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        hungUp = true; // the end of the input, or a broken connection
        break;
    }
    const QPointer<LocalConnection> alive(this);
    // A client that writes and hangs up at once: its lines are read before closed().
    if (received) emit readyRead();
    // The reader may have aborted this connection, or deleted it in a nested event loop.
    if (!alive || fd_ < 0) return;
    if (FirstLineTooLong()) return Abort();
    if (hungUp) return HangUp();
    // A full buffer the reader has not taken yet: ReadLine() resumes reading.
    readNotifier_->setEnabled(input_.size() <= maxLine_);
}

void LocalConnection::WriteOutput() {
    while (fd_ >= 0 && written_ < output_.size()) {
        const ssize_t n = ::send(fd_, output_.data() + written_, output_.size() - written_, MSG_NOSIGNAL);
        if (n > 0) {
            written_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writeNotifier_->setEnabled(true);
            return;
        }
        // The peer is gone (EPIPE, ECONNRESET): the rest can never reach it. The
        // connection closes from the event loop, not inside the writer's call.
        output_.clear();
        written_ = 0;
        writeNotifier_->setEnabled(false);
        QMetaObject::invokeMethod(
            this, [this] { HangUp(); }, Qt::QueuedConnection);
        return;
    }
    output_.clear();
    written_ = 0;
    if (fd_ >= 0) writeNotifier_->setEnabled(false);
}

bool LocalConnection::FirstLineTooLong() const {
    const std::size_t end = std::string_view(input_).substr(0, maxLine_).find('\n');
    return end == std::string_view::npos && input_.size() >= maxLine_;
}

void LocalConnection::Close() {
    if (fd_ < 0) return;
    // The notifiers stop watching before the descriptor number can be reused.
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    ::close(fd_);
    fd_ = -1;
    output_.clear();
    written_ = 0;
}

void LocalConnection::HangUp() {
    if (fd_ < 0) return;
    Close();
    emit closed();
}

} // namespace tarvik::app

// moc output for the header, compiled with this file.
#include "moc_LocalConnection.cpp"
