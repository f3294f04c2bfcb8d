// One accepted client of a local stream socket, served from the event loop
// with plain POSIX calls: input is read into a buffer as it comes and taken
// out line by line, and output is queued and written as fast as the socket
// takes it. A line longer than the limit means the peer does not speak our
// protocol: the connection is aborted. Writing to a peer that went away never
// raises SIGPIPE; what is still queued for it is dropped.
#pragma once

#include <QObject>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class QSocketNotifier;

namespace tarvik::app {

class LocalConnection : public QObject {
    Q_OBJECT
public:
    // Takes over `fd`, a connected non-blocking stream socket. A line may be at
    // most `maxLineBytes` long, its line end included.
    LocalConnection(int fd, std::size_t maxLineBytes, QObject* parent = nullptr);
    ~LocalConnection() override;

    // Open until the peer hangs up or Abort() is called.
    bool IsOpen() const { return fd_ >= 0; }
    // The next whole line received, with its line end; nothing while no whole
    // line has come. Lines already received stay readable after the peer hung up.
    std::optional<std::string> ReadLine();
    // Queues `data` behind what is still unsent and writes what the socket takes
    // now; the rest follows when it is writable. Nothing on a closed connection.
    void Write(std::string_view data);
    // Bytes queued but not yet taken by the socket.
    std::size_t PendingOutput() const { return output_.size() - written_; }
    // Closes at once and drops both buffers; emits closed() if it was open.
    void Abort();

signals:
    // New input has come (possibly not a whole line yet).
    void readyRead();
    // The connection ended: the peer hung up, a write found it gone, or Abort().
    // Emitted once.
    void closed();

private:
    void ReadInput();
    void WriteOutput();
    bool FirstLineTooLong() const;
    // Stops both notifiers and closes the descriptor; keeps the input.
    void Close();
    void HangUp();

    int fd_ = -1;
    std::size_t maxLine_;
    std::string input_;
    std::string output_;
    std::size_t written_ = 0; // of output_
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
};

} // namespace tarvik::app
