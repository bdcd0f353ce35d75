// Connection thread: waiting for Discord (the pipes tried about every 5 s, and
// ever less often after failed attempts until one finds no pipe at all or
// gets READY), handshaking (READY within a few seconds), connected (the
// outbox sent within Discord's rate, a refused update sent once more without
// the newer fields, pings answered).
// Reads and writes are overlapped; one wait covers them, the main thread's
// signal and the next deadline, so that while nothing changes the thread sleeps.
#include "discord/connection.h"

#include "common/exclusive_lock.h"
#include "common/plugin_thread.h"
#include "common/unique_handle.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#ifndef PLUGIN_CLIENT_ID
#error "PLUGIN_CLIENT_ID (the Discord application id) must be defined by the build"
#endif

namespace {

// Each running Discord client takes the next free pipe of these.
constexpr int pipe_count = 10;
// Opening a pipe fails within microseconds while Discord is away; trying this
// often finds it soon after it starts without costing the player anything.
constexpr int64_t retry_interval_ms = 5000;
// After an attempt that failed (a CLOSE, no READY in time, a pipe closed at
// once, a broken stream), the wait doubles from retry_interval_ms up to this,
// until a READY: a peer that keeps refusing is asked ever less often. An
// attempt that finds no pipe at all starts the waits afresh: a Discord that
// failed while it started, or before it restarted, is found within the usual
// interval once it is up.
constexpr int64_t longest_retry_ms = 60000;
// A Discord that takes longer to answer the handshake is not answering.
constexpr int64_t handshake_timeout_ms = 3000;
// A write Discord has not taken within this time means it stopped reading.
constexpr int64_t write_timeout_ms = 5000;
// Bytes waiting behind the write under way: beyond twice the largest frame
// (a PONG of the longest PING accepted), the peer is not reading what it asks for.
constexpr size_t backlog_bound = 2 * (frame_header_bytes + frame_max_payload);
// How long quit lets the clear reach Discord before closing the pipe (which
// clears the activity as well), and how long the main thread waits in quit.
constexpr int64_t quit_flush_ms = 250;
constexpr DWORD stop_wait_ms = 500;
constexpr DWORD read_chunk_bytes = 4096;

// Shared between the main thread and the connection thread; each holds a
// reference, so a thread that outlives connection_stop still has it.
struct connection_shared {
    SRWLOCK lock = SRWLOCK_INIT;
    kernel_handle wake; // auto-reset: a new activity, or stop
    bool stopping = false;
    shown_activity wanted;
    connection_state state;
};

int64_t clock_ms()
{
    return static_cast<int64_t>(GetTickCount64());
}

// One overlapped operation on the pipe: its record, its manual-reset event,
// and whether it is still under way.
struct pipe_operation {
    OVERLAPPED overlapped{};
    kernel_handle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    bool pending = false;

    bool done() const { return pending && WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0; }
};

// How a connection ended.
enum class ending {
    pipe_closed, // Discord closed the pipe (quit, restart, update), or a write to it failed
    refused,     // Discord sent a CLOSE
    broken,      // no READY in time, a stalled write, a broken stream, too much to write
};

// Everything the connection thread owns.
class connection_thread {
  public:
    explicit connection_thread(connection_shared *shared) : shared_(shared) {}
    ~connection_thread() { close_pipe(); }
    connection_thread(const connection_thread &) = delete;
    connection_thread &operator=(const connection_thread &) = delete;

    // Runs until the main thread asks it to stop; then clears and closes.
    void run();

  private:
    bool take_handover();
    DWORD time_to_next_deadline() const;
    void on_time();
    void start_attempt();
    void open_next_pipe();
    void wait_for_next_attempt();
    void retry_in(int64_t wait_ms);
    void drop(ending how);
    void close_pipe();
    void start_read();
    void on_read_done();
    void handle_frame(const frame &received);
    void handle_reply(const discord_reply &reply);
    void queue_frame(uint32_t opcode, std::string_view payload);
    void queue_pong(std::string_view payload);
    bool backlog_exceeded() const;
    void start_write();
    void on_write_done();
    void send_due_update();
    void quit();
    void publish_state();

    connection_shared *shared_;
    connection_state state_;
    file_handle pipe_;
    int pipe_index_ = 0;
    // An attempt opens the pipes in turn, from next_pipe_ on and round, until
    // one opens; a pipe that fails makes the next attempt start past it, so
    // that a peer squatting on one cannot hide a Discord on another.
    int next_pipe_ = 0;
    int pipes_left_ = 0;             // of the attempt under way, not tried yet
    bool attempt_failed_ = false;    // a pipe of the attempt under way opened and failed
    int failed_attempts_ = 0;        // since the last READY
    uint64_t connections_ = 0;       // pipes opened so far: tells a connection from the next
    int64_t retry_at_ = 0;           // waiting: the next attempt
    int64_t handshake_deadline_ = 0; // handshaking: READY is due by then
    pipe_operation read_, write_;
    char read_buffer_[read_chunk_bytes];
    frame_reader reader_;
    std::string writing_;  // the bytes of the write under way
    std::string outgoing_; // frames queued behind it
    std::string pong_;     // the PONG queued behind it: only the newest PING is answered
    int64_t write_started_ = 0;
    outbox outbox_;
    uint64_t nonces_ = 0;
    std::string last_nonce_; // of the SET_ACTIVITY sent last
};

// Takes the newest activity over from the main thread; true when it asks to stop.
bool connection_thread::take_handover()
{
    exclusive_lock hold(shared_->lock);
    outbox_want(&outbox_, shared_->wanted);
    return shared_->stopping;
}

DWORD connection_thread::time_to_next_deadline() const
{
    const int64_t now = clock_ms();
    std::optional<int64_t> deadline;
    switch (state_.phase) {
    case connection_phase::waiting:
        deadline = retry_at_;
        break;
    case connection_phase::handshaking:
        deadline = handshake_deadline_;
        break;
    case connection_phase::connected:
        deadline = outbox_next_time(outbox_, now);
        if (write_.pending && (!deadline || write_started_ + write_timeout_ms < *deadline)) {
            deadline = write_started_ + write_timeout_ms;
        }
        break;
    }
    if (!deadline) {
        return INFINITE;
    }
    return *deadline <= now ? 0 : static_cast<DWORD>(*deadline - now);
}

void connection_thread::run()
{
    start_attempt();
    for (;;) {
        HANDLE handles[3] = {shared_->wake.get()};
        DWORD count = 1;
        if (read_.pending) {
            handles[count++] = read_.event.get();
        }
        if (write_.pending) {
            handles[count++] = write_.event.get();
        }
        WaitForMultipleObjects(count, handles, FALSE, time_to_next_deadline());
        try {
            if (take_handover()) {
                break;
            }
            if (read_.done()) {
                on_read_done();
            }
            if (write_.done()) {
                on_write_done();
            }
            on_time();
        } catch (...) {
            // Out of memory: this connection is given up; the next one starts afresh.
            drop(ending::broken);
        }
    }
    quit();
}

void connection_thread::on_time()
{
    const int64_t now = clock_ms();
    switch (state_.phase) {
    case connection_phase::waiting:
        if (now >= retry_at_) {
            start_attempt();
        }
        break;
    case connection_phase::handshaking:
        if (now >= handshake_deadline_) {
            drop(ending::broken);
        }
        break;
    case connection_phase::connected:
        if (write_.pending && now - write_started_ >= write_timeout_ms) {
            drop(ending::broken);
            break;
        }
        send_due_update();
        break;
    }
}

void connection_thread::start_attempt()
{
    pipes_left_ = pipe_count;
    attempt_failed_ = false;
    open_next_pipe();
}

// Opens the next pipe of the attempt that opens and sends the handshake; when
// none is left, waits for the next attempt.
void connection_thread::open_next_pipe()
{
    while (pipes_left_ > 0) {
        const int index = next_pipe_;
        next_pipe_ = (next_pipe_ + 1) % pipe_count;
        --pipes_left_;
        const std::wstring name = L"\\\\?\\pipe\\discord-ipc-" + std::to_wstring(index);
        file_handle pipe(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED, nullptr));
        if (!pipe) {
            continue;
        }
        pipe_ = std::move(pipe);
        pipe_index_ = index;
        ++connections_;
        state_.phase = connection_phase::handshaking;
        state_.next_attempt_ms.reset();
        handshake_deadline_ = clock_ms() + handshake_timeout_ms;
        reader_ = frame_reader{};
        publish_state();
        queue_frame(FRAME_HANDSHAKE, handshake_payload(std::to_string(PLUGIN_CLIENT_ID)));
        start_read();
        return;
    }
    wait_for_next_attempt();
}

// While Discord is simply away the next attempt follows after the usual
// interval; after a failed one, after a wait that grows with every failure.
void connection_thread::wait_for_next_attempt()
{
    if (!attempt_failed_) {
        failed_attempts_ = 0; // no pipe at all: whatever failed before is gone
        retry_in(retry_interval_ms);
        return;
    }
    failed_attempts_ = std::min(failed_attempts_ + 1, 8);
    retry_in(std::min(retry_interval_ms << (failed_attempts_ - 1), longest_retry_ms));
}

// Waits `wait_ms` for the next attempt, and tells the user when it comes.
void connection_thread::retry_in(int64_t wait_ms)
{
    retry_at_ = clock_ms() + wait_ms;
    state_.next_attempt_ms = retry_at_;
    publish_state();
}

// Ends the connection. After one that had READY and that Discord closed, the
// next attempt comes after the usual interval and starts at the same pipe.
// Any other ending is a failure of the attempt, and the next one starts past
// that pipe: a pipe closed before READY may belong to a client that is
// shutting down, so the attempt goes on with the following pipes at once;
// otherwise it ends.
void connection_thread::drop(ending how)
{
    const bool was_connected = state_.phase == connection_phase::connected;
    const bool had_pipe = static_cast<bool>(pipe_);
    close_pipe();
    // Published with the next pipe's handshake or the time of the next attempt.
    state_.phase = connection_phase::waiting;
    if (was_connected && how == ending::pipe_closed) {
        next_pipe_ = pipe_index_;
        retry_in(retry_interval_ms);
        return;
    }
    attempt_failed_ = true;
    if (had_pipe) {
        next_pipe_ = (pipe_index_ + 1) % pipe_count;
    }
    if (was_connected || how != ending::pipe_closed) {
        pipes_left_ = 0;
    }
    open_next_pipe();
}

// Cancels what is under way on the pipe, waits until the system has let go of
// the buffers, and closes it.
void connection_thread::close_pipe()
{
    if (!pipe_) {
        return;
    }
    CancelIoEx(pipe_.get(), nullptr);
    for (pipe_operation *operation : {&read_, &write_}) {
        if (operation->pending) {
            DWORD transferred;
            GetOverlappedResult(pipe_.get(), &operation->overlapped, &transferred, TRUE);
            operation->pending = false;
        }
    }
    pipe_.reset();
    writing_.clear();
    outgoing_.clear();
    pong_.clear();
}

void connection_thread::start_read()
{
    if (!pipe_ || read_.pending) {
        return;
    }
    read_.overlapped = OVERLAPPED{};
    read_.overlapped.hEvent = read_.event.get();
    if (!ReadFile(pipe_.get(), read_buffer_, sizeof read_buffer_, nullptr, &read_.overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        drop(ending::pipe_closed);
        return;
    }
    read_.pending = true;
}

void connection_thread::on_read_done()
{
    DWORD received = 0;
    const bool ok = GetOverlappedResult(pipe_.get(), &read_.overlapped, &received, FALSE);
    read_.pending = false;
    if (!ok) {
        drop(ending::pipe_closed); // Discord quits, restarts or updates
        return;
    }
    reader_.feed(std::string_view(read_buffer_, received));
    // A frame may end this connection, and the next one has a reader of its own.
    const uint64_t connection = connections_;
    while (pipe_ && connections_ == connection) {
        std::optional<frame> received_frame = reader_.next();
        if (!received_frame) {
            break;
        }
        handle_frame(*received_frame);
    }
    if (!pipe_ || connections_ != connection) {
        return;
    }
    if (reader_.failed()) {
        drop(ending::broken);
        return;
    }
    start_read();
}

void connection_thread::handle_frame(const frame &received)
{
    switch (received.opcode) {
    case FRAME_FRAME: {
        const std::optional<discord_reply> reply = read_reply(received.payload);
        if (!reply) {
            drop(ending::broken);
            return;
        }
        handle_reply(*reply);
        return;
    }
    case FRAME_PING:
        queue_pong(received.payload);
        return;
    case FRAME_CLOSE:
        state_.closed = read_close(received.payload);
        drop(ending::refused);
        return;
    default:
        return; // a HANDSHAKE or PONG from Discord asks nothing of us
    }
}

void connection_thread::handle_reply(const discord_reply &reply)
{
    switch (reply.kind) {
    case reply_kind::ready:
        if (state_.phase != connection_phase::handshaking) {
            return;
        }
        state_.phase = connection_phase::connected;
        state_.user_name = reply.user_name;
        state_.closed.reset();
        state_.update_refused.reset();
        state_.newer_fields_refused.reset();
        failed_attempts_ = 0;
        next_pipe_ = pipe_index_;
        outbox_connected(&outbox_);
        publish_state();
        send_due_update();
        return;
    case reply_kind::error:
        if (state_.phase == connection_phase::connected && reply.nonce == last_nonce_) {
            outbox_refused(&outbox_);
            state_.update_refused = reply.refusal;
            if (outbox_.newer_fields_off && !state_.newer_fields_refused) {
                state_.newer_fields_refused = reply.refusal;
            }
            publish_state();
        }
        return;
    case reply_kind::command_done:
        if (reply.nonce == last_nonce_ && state_.update_refused) {
            state_.update_refused.reset();
            publish_state();
        }
        return;
    case reply_kind::other:
        return;
    }
}

void connection_thread::queue_frame(uint32_t opcode, std::string_view payload)
{
    outgoing_ += frame_encode(opcode, payload);
    if (backlog_exceeded()) {
        drop(ending::broken);
        return;
    }
    start_write();
}

// A PING that comes while the answer to an earlier one still waits replaces
// that answer: a peer that sends PINGs without reading cannot make the
// answers pile up.
void connection_thread::queue_pong(std::string_view payload)
{
    pong_ = frame_encode(FRAME_PONG, payload);
    if (backlog_exceeded()) {
        drop(ending::broken);
        return;
    }
    start_write();
}

bool connection_thread::backlog_exceeded() const
{
    return outgoing_.size() + pong_.size() > backlog_bound;
}

void connection_thread::start_write()
{
    if (!pipe_ || write_.pending || (outgoing_.empty() && pong_.empty())) {
        return;
    }
    writing_ = std::exchange(outgoing_, std::string());
    writing_ += pong_;
    pong_.clear();
    write_.overlapped = OVERLAPPED{};
    write_.overlapped.hEvent = write_.event.get();
    if (!WriteFile(pipe_.get(), writing_.data(), static_cast<DWORD>(writing_.size()), nullptr,
                   &write_.overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        drop(ending::pipe_closed);
        return;
    }
    write_.pending = true;
    write_started_ = clock_ms();
}

void connection_thread::on_write_done()
{
    DWORD written = 0;
    const bool ok = GetOverlappedResult(pipe_.get(), &write_.overlapped, &written, FALSE);
    write_.pending = false;
    if (!ok || written != writing_.size()) {
        drop(ending::pipe_closed);
        return;
    }
    writing_.clear();
    start_write();
}

// Sends the update the outbox has due, if any.
void connection_thread::send_due_update()
{
    if (state_.phase != connection_phase::connected) {
        return;
    }
    const std::optional<shown_activity> update = outbox_take(&outbox_, clock_ms());
    if (!update) {
        return;
    }
    last_nonce_ = std::to_string(++nonces_);
    const discord_activity *activity = *update ? &**update : nullptr;
    queue_frame(FRAME_FRAME, set_activity_payload(GetCurrentProcessId(), last_nonce_, activity));
}

// Clears the activity when connected and the rate allows, gives the write a
// moment to reach Discord, and closes the pipe.
void connection_thread::quit()
{
    if (state_.phase == connection_phase::connected) {
        outbox_want(&outbox_, std::nullopt);
        send_due_update();
        const int64_t flush_deadline = clock_ms() + quit_flush_ms;
        while (write_.pending) {
            // One reading of the clock per round: the time left can never
            // come out negative and wrap into a wait of days.
            const int64_t left = flush_deadline - clock_ms();
            if (left <= 0) {
                break;
            }
            WaitForSingleObject(write_.event.get(), static_cast<DWORD>(left));
            if (write_.done()) {
                on_write_done();
            }
        }
    }
    close_pipe();
}

void connection_thread::publish_state()
{
    connection_state copy = state_;
    exclusive_lock hold(shared_->lock);
    shared_->state = std::move(copy);
}

// Main thread's side.
std::shared_ptr<connection_shared> running;
plugin_thread thread;

} // namespace

void connection_start()
{
    if (running) {
        return;
    }
    auto shared = std::make_shared<connection_shared>();
    shared->wake.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!shared->wake) {
        return;
    }
    const bool started = thread.start([shared] {
        // On the heap: the thread's stack is kept for the JSON reader.
        auto connection = std::make_unique<connection_thread>(shared.get());
        connection->run();
    });
    if (started) {
        running = std::move(shared);
    }
}

void connection_stop()
{
    if (!running) {
        return;
    }
    {
        exclusive_lock hold(running->lock);
        running->stopping = true;
    }
    SetEvent(running->wake.get());
    thread.stop(stop_wait_ms);
    running.reset();
}

void connection_publish(shown_activity activity)
{
    if (!running) {
        return;
    }
    {
        exclusive_lock hold(running->lock);
        if (running->wanted == activity) {
            return; // nothing new: the thread sleeps on
        }
        running->wanted = std::move(activity);
    }
    SetEvent(running->wake.get());
}

connection_state connection_state_now()
{
    if (!running) {
        return {};
    }
    exclusive_lock hold(running->lock);
    return running->state;
}
