// Connection thread: waiting for Discord (the pipes tried about every 5 s),
// handshaking (READY within a few seconds), connected (the outbox sent within
// Discord's rate, pings answered). Reads and writes are overlapped; one wait
// covers them, the main thread's signal and the next deadline, so that while
// nothing changes the thread sleeps.
#include "discord/connection.h"

#include "common/exclusive_lock.h"
#include "common/guarded.h"
#include "common/unique_handle.h"
#include "common/utf8.h"
#include "discord/frames.h"

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
// After Discord refused or dropped a connection, or never answered it, the
// wait doubles from retry_interval_ms on each time up to this; READY resets it.
constexpr int64_t longest_retry_ms = 60000;
// A Discord that takes longer to answer the handshake is not answering.
constexpr int64_t handshake_timeout_ms = 3000;
// A write Discord has not taken within this time means it stopped reading.
constexpr int64_t write_timeout_ms = 5000;
// How long quit lets the clear reach Discord before closing the pipe (which
// clears the activity as well), and how long the main thread waits in quit.
constexpr DWORD quit_flush_ms = 250;
constexpr DWORD stop_wait_ms = 500;
constexpr DWORD read_chunk_bytes = 4096;
// Bytes waiting for a peer that stops reading: about two of the largest frames.
// A peer that lets more pile up is not Discord, and its connection is dropped.
constexpr size_t backlog_bound_bytes = 2 * (frame_header_bytes + frame_max_payload);
// The JSON reader's nesting bound, which Discord's replies reach as well,
// assumes a thread stack of 1 MiB.
constexpr SIZE_T thread_stack_bytes = 1 << 20;

constexpr wchar_t waiting_text[] =
    L"Waiting for Discord: the presence appears within seconds of Discord starting.";

// Shared between the main thread and the connection thread; each holds a
// reference, so a thread that outlives connection_stop still has it.
struct connection_shared {
    SRWLOCK lock = SRWLOCK_INIT;
    kernel_handle wake; // auto-reset: a new activity, or stop
    bool stopping = false;
    shown_activity wanted;
    std::wstring status = waiting_text;
};

// What Discord said when it refused something: "(4000) Invalid Client ID".
std::wstring refusal_text(int64_t code, const std::string &message)
{
    return L"(" + std::to_wstring(code) + L") " + utf8_to_utf16(message);
}

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

enum class phase { waiting, handshaking, connected };

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
    void try_connect(int first_pipe);
    bool open_pipe(int first_pipe, int count);
    void drop(bool ended_by_discord, bool refused = false);
    void retry_later(bool refused);
    void close_pipe();
    void start_read();
    void on_read_done();
    void handle_frame(const frame &received);
    void handle_reply(const discord_reply &reply);
    void queue_frame(uint32_t opcode, std::string_view payload);
    void queue_pong(std::string_view payload);
    void start_write();
    void on_write_done();
    void send_due_update();
    void quit();
    void publish_status();

    connection_shared *shared_;
    phase phase_ = phase::waiting;
    kernel_handle pipe_;
    int pipe_index_ = 0;
    int next_pipe_ = 0;              // where the next attempt starts
    int failures_ = 0;               // refused or broken connections since the last READY
    uint64_t connections_ = 0;       // pipes opened so far: tells a connection from the next
    int64_t retry_at_ = 0;           // waiting: the next attempt
    int64_t handshake_deadline_ = 0; // handshaking: READY is due by then
    pipe_operation read_, write_;
    char read_buffer_[read_chunk_bytes];
    frame_reader reader_;
    std::string writing_;  // the bytes of the write under way
    std::string outgoing_; // frames queued behind it
    std::string pong_;     // the newest unsent PONG: one replaces the other
    int64_t write_started_ = 0;
    outbox outbox_;
    uint64_t nonces_ = 0;
    std::string last_nonce_; // of the SET_ACTIVITY sent last
    std::string user_name_;
    std::wstring close_refusal_;  // why Discord closed the last connection
    std::wstring update_refusal_; // why Discord refused the update sent last
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
    switch (phase_) {
    case phase::waiting:
        deadline = retry_at_;
        break;
    case phase::handshaking:
        deadline = handshake_deadline_;
        break;
    case phase::connected:
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
    try_connect(next_pipe_);
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
            drop(false);
        }
    }
    quit();
}

void connection_thread::on_time()
{
    const int64_t now = clock_ms();
    switch (phase_) {
    case phase::waiting:
        if (now >= retry_at_) {
            try_connect(next_pipe_);
        }
        break;
    case phase::handshaking:
        if (now >= handshake_deadline_) {
            drop(false, true); // something took the pipe that is not answering
        }
        break;
    case phase::connected:
        if (write_.pending && now - write_started_ >= write_timeout_ms) {
            drop(false);
            break;
        }
        send_due_update();
        break;
    }
}

// Opens the first Discord pipe that opens, from `first_pipe` on through all of
// them, and sends the handshake; when none opens, waits for the next attempt.
void connection_thread::try_connect(int first_pipe)
{
    if (!open_pipe(first_pipe, pipe_count)) {
        retry_at_ = clock_ms() + retry_interval_ms;
    }
}

// Opens the first of `count` pipes from `first_pipe` on (wrapping after the
// last) that opens, and sends the handshake; false when none opens.
bool connection_thread::open_pipe(int first_pipe, int count)
{
    for (int tried = 0; tried < count; ++tried) {
        const int index = (first_pipe + tried) % pipe_count;
        const std::wstring name = L"\\\\?\\pipe\\discord-ipc-" + std::to_wstring(index);
        HANDLE pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            continue;
        }
        pipe_.reset(pipe);
        pipe_index_ = index;
        ++connections_;
        phase_ = phase::handshaking;
        handshake_deadline_ = clock_ms() + handshake_timeout_ms;
        reader_ = frame_reader{};
        next_pipe_ = index;
        queue_frame(FRAME_HANDSHAKE, handshake_payload(std::to_string(PLUGIN_CLIENT_ID)));
        start_read();
        return true;
    }
    return false;
}

// Ends the connection. A pipe that Discord closed before READY may belong to
// a client that is shutting down: a higher pipe that is open is tried at once.
// `refused`: Discord sent CLOSE, or the pipe's owner never answered.
void connection_thread::drop(bool ended_by_discord, bool refused)
{
    const bool before_ready = phase_ == phase::handshaking;
    close_pipe();
    phase_ = phase::waiting;
    publish_status();
    if (ended_by_discord && before_ready && pipe_index_ + 1 < pipe_count &&
        open_pipe(pipe_index_ + 1, pipe_count - pipe_index_ - 1)) {
        return;
    }
    retry_later(refused || before_ready);
}

// Schedules the next attempt: after a refusal at the following pipe, so that
// something squatting on one pipe cannot hide a Discord on another; the wait
// grows with each refused or broken connection.
void connection_thread::retry_later(bool refused)
{
    if (refused) {
        next_pipe_ = (pipe_index_ + 1) % pipe_count;
    }
    int64_t wait = retry_interval_ms;
    for (int doubled = 0; doubled < failures_ && wait < longest_retry_ms; ++doubled) {
        wait *= 2;
    }
    ++failures_;
    retry_at_ = clock_ms() + std::min(wait, longest_retry_ms);
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
        drop(true);
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
        drop(true); // Discord closed the pipe (quit, restart, update)
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
    if (reader_.failed()) {
        drop(true);
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
            drop(true);
            return;
        }
        handle_reply(*reply);
        return;
    }
    case FRAME_PING:
        queue_pong(received.payload);
        return;
    case FRAME_CLOSE: {
        const close_reason reason = read_close(received.payload);
        close_refusal_ = L"Discord closed the connection " + refusal_text(reason.code, reason.message);
        drop(true, true);
        return;
    }
    default:
        return; // a HANDSHAKE or PONG from Discord asks nothing of us
    }
}

void connection_thread::handle_reply(const discord_reply &reply)
{
    switch (reply.kind) {
    case reply_kind::ready:
        if (phase_ != phase::handshaking) {
            return;
        }
        phase_ = phase::connected;
        user_name_ = reply.user_name;
        failures_ = 0;
        close_refusal_.clear();
        update_refusal_.clear();
        outbox_connected(&outbox_);
        publish_status();
        send_due_update();
        return;
    case reply_kind::error:
        if (phase_ == phase::connected && reply.nonce == last_nonce_) {
            outbox_refused(&outbox_, clock_ms());
            update_refusal_ = L"Discord refused the last update " + refusal_text(reply.code, reply.message);
            publish_status();
        }
        return;
    case reply_kind::command_done:
        if (reply.nonce == last_nonce_ && !update_refusal_.empty()) {
            update_refusal_.clear();
            publish_status();
        }
        return;
    case reply_kind::other:
        return;
    }
}

void connection_thread::queue_frame(uint32_t opcode, std::string_view payload)
{
    outgoing_ += frame_encode(opcode, payload);
    if (outgoing_.size() + pong_.size() > backlog_bound_bytes) {
        drop(false);
        return;
    }
    start_write();
}

// A PING asks only whether we are alive: the newest unsent answer replaces an
// older one, so a peer that pings without reading cannot pile answers up.
void connection_thread::queue_pong(std::string_view payload)
{
    pong_ = frame_encode(FRAME_PONG, payload);
    if (outgoing_.size() + pong_.size() > backlog_bound_bytes) {
        drop(false);
        return;
    }
    start_write();
}

void connection_thread::start_write()
{
    if (!pipe_ || write_.pending || (outgoing_.empty() && pong_.empty())) {
        return;
    }
    writing_ = std::exchange(outgoing_, std::string());
    writing_ += std::exchange(pong_, std::string());
    write_.overlapped = OVERLAPPED{};
    write_.overlapped.hEvent = write_.event.get();
    if (!WriteFile(pipe_.get(), writing_.data(), static_cast<DWORD>(writing_.size()), nullptr,
                   &write_.overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        drop(true);
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
        drop(true);
        return;
    }
    writing_.clear();
    start_write();
}

// Sends the update the outbox has due, if any.
void connection_thread::send_due_update()
{
    if (phase_ != phase::connected) {
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
    if (phase_ == phase::connected) {
        outbox_want(&outbox_, std::nullopt);
        send_due_update();
        const int64_t end = clock_ms() + quit_flush_ms;
        while (write_.pending) {
            const int64_t left = end - clock_ms(); // one reading: never below zero unnoticed
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

void connection_thread::publish_status()
{
    std::wstring status;
    if (phase_ == phase::connected) {
        status = L"Connected to Discord as " + utf8_to_utf16(user_name_) + L".";
        if (!update_refusal_.empty()) {
            status += L" " + update_refusal_ + L".";
        }
    } else if (!close_refusal_.empty()) {
        status = close_refusal_ + L". Trying again every few seconds.";
    } else {
        status = waiting_text;
    }
    exclusive_lock hold(shared_->lock);
    shared_->status = std::move(status);
}

// What the thread starts with.
struct thread_start {
    std::shared_ptr<connection_shared> shared;
    HMODULE module; // the thread's own reference to the DLL
};

DWORD WINAPI connection_main(void *parameter)
{
    HMODULE module;
    {
        std::unique_ptr<thread_start> start(static_cast<thread_start *>(parameter));
        module = start->module;
        guarded([&] {
            auto thread = std::make_unique<connection_thread>(start->shared.get());
            thread->run();
        });
    }
    // Ends through the thread's own reference to the DLL: when the host has
    // unloaded the plug-in meanwhile, this unmaps it, and nothing of it runs on.
    FreeLibraryAndExitThread(module, 0);
}

// Main thread's side.
std::shared_ptr<connection_shared> running;
kernel_handle thread_handle;

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
    auto start = std::make_unique<thread_start>(thread_start{shared, nullptr});
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&connection_main), &start->module)) {
        return;
    }
    thread_handle.reset(CreateThread(nullptr, thread_stack_bytes, &connection_main, start.get(),
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread_handle) {
        FreeLibrary(start->module);
        return;
    }
    start.release(); // the thread owns it now
    running = std::move(shared);
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
    WaitForSingleObject(thread_handle.get(), stop_wait_ms);
    thread_handle.reset();
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

std::wstring connection_status_text()
{
    if (!running) {
        return waiting_text;
    }
    exclusive_lock hold(running->lock);
    return running->status;
}
