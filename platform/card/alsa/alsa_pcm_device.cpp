// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_pcm_device.h"

#include <poll.h>
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/base/messages.h"
#include "platform/card/input_recorder.h"
#include "platform/mm/device_changes.h"

namespace platform {

namespace {
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr auto kRetryEvery = std::chrono::seconds(1);
constexpr auto kStallAfter = std::chrono::seconds(2);
constexpr int kIdlePollMs = 50;  // the watchdog's and the bridge's tick

std::int64_t FramesIn(nanoseconds span, unsigned rate) {
  return span.count() <= 0 ? 0 : static_cast<std::int64_t>(span.count() / 1000 * rate / 1'000'000);
}
}  // namespace

AlsaPcmDevice::AlsaPcmDevice(std::string device, WaveDir dir, const WAVEFORMATEX& format,
                             AlsaPcmCounters& counters, Report report)
    : device_(std::move(device)),
      dir_(dir),
      format_(format),
      block_(std::max<WORD>(WORD{format.nBlockAlign}, 1)),
      rate_(std::max<DWORD>(DWORD{format.nSamplesPerSec}, 1)),
      counters_(counters),
      report_(std::move(report)) {
  fds_.resize(1);
  thread_ = std::thread([this] { Run(); });
}

AlsaPcmDevice::~AlsaPcmDevice() {
  if (thread_.joinable()) {
    Stop(milliseconds(10'000));
    thread_.join();
  }
}

std::string AlsaPcmDevice::Name() const {
  return "ALSA device '" + device_ + "' (" + DirName(dir_) + ")";
}

bool AlsaPcmDevice::Stop(milliseconds timeout) {
  Lock lock(mutex_);
  quit_ = true;
  wake_.Signal();
  if (!changed_.wait_for(lock, timeout, [this] { return exited_; })) return false;
  lock.unlock();
  if (thread_.joinable()) thread_.join();
  return true;
}

MMRESULT AlsaPcmDevice::AwaitFirstOpen(milliseconds timeout, std::string& why) {
  Lock lock(mutex_);
  if (!changed_.wait_for(lock, timeout, [this] { return first_done_; })) {
    why = Name() + ": no answer within " + std::to_string(timeout.count() / 1000) +
          " s; still trying";
    return MMSYSERR_NODRIVER;
  }
  why = first_why_;
  return up_ ? MMSYSERR_NOERROR : down_code_;
}

bool AlsaPcmDevice::Up() const {
  std::lock_guard lock(mutex_);
  return up_;
}

MMRESULT AlsaPcmDevice::DownCode() const {
  std::lock_guard lock(mutex_);
  return down_code_;
}

PcmGeometry AlsaPcmDevice::Geometry() const {
  std::lock_guard lock(mutex_);
  return geometry_;
}

std::optional<AlsaPcmDevice::ConverterTime> AlsaPcmDevice::Timing() const {
  std::lock_guard lock(mutex_);
  if (!up_ || !timed_ || paused_) return std::nullopt;
  if (dir_ == WaveDir::In) return ConverterTime{timed_at_, timed_frames_};
  // What waits behind the PCM's ring: the staged rest and the queue.
  std::int64_t pending = static_cast<std::int64_t>(staged_ - staged_at_);
  for (const WAVEHDR* h : queue_) pending += static_cast<std::int64_t>(h->dwBufferLength / block_);
  pending -= static_cast<std::int64_t>(head_frames_);
  const auto ahead = std::chrono::duration_cast<SteadyClock::duration>(
      std::chrono::duration<double>(static_cast<double>(timed_frames_ + pending) / rate_));
  return ConverterTime{timed_at_ + ahead, 0};
}

// ---- The GUI thread's side ----------------------------------------------

void AlsaPcmDevice::Attach(std::uintptr_t handle, HWND callback) {
  std::lock_guard lock(mutex_);
  handle_ = handle;
  callback_ = callback;
  stream_failed_ = false;
  queue_.clear();
  head_frames_ = 0;
  recording_ = start_requested_ = drain_pending_ = false;
  want_paused_ = false;
}

void AlsaPcmDevice::Detach() {
  {
    std::lock_guard lock(mutex_);
    handle_ = 0;
    queue_.clear();
    head_frames_ = 0;
    recording_ = start_requested_ = drain_pending_ = false;
  }
  wake_.Signal();
}

bool AlsaPcmDevice::StreamFailed() const {
  std::lock_guard lock(mutex_);
  return stream_failed_;
}

bool AlsaPcmDevice::HasQueued() const {
  std::lock_guard lock(mutex_);
  return !queue_.empty();
}

MMRESULT AlsaPcmDevice::Queue(WAVEHDR* header) {
  {
    std::lock_guard lock(mutex_);
    if (stream_failed_) return MMSYSERR_NODRIVER;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    if (dir_ == WaveDir::In) header->dwBytesRecorded = 0;
    queue_.push_back(header);
  }
  wake_.Signal();
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaPcmDevice::Start() {
  {
    std::lock_guard lock(mutex_);
    if (stream_failed_) return MMSYSERR_NODRIVER;
    if (!recording_ && !drain_pending_) start_requested_ = true;
  }
  wake_.Signal();
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaPcmDevice::Reset() {
  {
    std::lock_guard lock(mutex_);
    if (stream_failed_) return MMSYSERR_NODRIVER;
    ReturnAll();
    recording_ = start_requested_ = drain_pending_ = false;
    // What the ring holds of the output is no longer wanted.
    if (dir_ == WaveDir::Out && up_) drop_requested_ = true;
  }
  wake_.Signal();
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaPcmDevice::SetPaused(bool paused) {
  {
    std::lock_guard lock(mutex_);
    if (stream_failed_) return MMSYSERR_NODRIVER;
    want_paused_ = paused;
  }
  wake_.Signal();
  return MMSYSERR_NOERROR;
}

void AlsaPcmDevice::InjectError(int alsa_error) {
  {
    std::lock_guard lock(mutex_);
    inject_ = alsa_error;
  }
  wake_.Signal();
}

std::string AlsaPcmDevice::Describe() const {
  std::lock_guard lock(mutex_);
  std::string s;
  if (!up_) {
    s = first_done_ ? "away (" + (down_reason_.empty() ? first_why_ : down_reason_) +
                          "), reopening every second"
                    : "opening";
  } else if (dir_ == WaveDir::In) {
    s = recording_ ? "recording" : drain_pending_ || start_requested_ ? "starting" : "running";
  } else {
    s = paused_ ? "paused" : queue_.empty() ? "idle" : "playing";
  }
  if (handle_ != 0)
    s += stream_failed_ ? ", stream failed" : ", " + std::to_string(queue_.size()) + " queued";
  return s;
}

// Locked: the head goes back with what it holds so far.
void AlsaPcmDevice::ReturnAll() {
  bool head = true;
  for (WAVEHDR* h : queue_) {
    Return(h, head ? head_frames_ : 0);
    head = false;
  }
  queue_.clear();
  head_frames_ = 0;
}

void AlsaPcmDevice::Return(WAVEHDR* h, snd_pcm_uframes_t frames) {
  if (dir_ == WaveDir::In) h->dwBytesRecorded = static_cast<DWORD>(frames * block_);
  h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  PostMessage(callback_, dir_ == WaveDir::In ? MM_WIM_DATA : MM_WOM_DONE, handle_,
              reinterpret_cast<LPARAM>(h));
}

// ---- The device thread ---------------------------------------------------

void AlsaPcmDevice::Run() {
  // Named, so that its share of the processor can be told apart.
  pthread_setname_np(pthread_self(), dir_ == WaveDir::In ? "osc-capture" : "osc-playback");
  Lock lock(mutex_);
  next_attempt_ = SteadyClock::now();
  while (!quit_) {
    if (!pcm_) {
      const auto now = SteadyClock::now();
      if (now >= next_attempt_) {
        TryOpen(lock);
        continue;
      }
      drop_requested_ = false;
      if (dir_ == WaveDir::Out) BridgeByClock();
      const auto until = std::min(next_attempt_, now + milliseconds(kIdlePollMs / 2));
      const int ms = static_cast<int>(
          std::chrono::ceil<milliseconds>(until - now).count());
      lock.unlock();
      pollfd fd{wake_.Fd(), POLLIN, 0};
      if (poll(&fd, 1, std::max(ms, 1)) > 0) wake_.Drain();
      lock.lock();
      continue;
    }
    ApplyRequests(lock);
    if (!pcm_ || quit_) continue;
    const bool progressed = dir_ == WaveDir::In ? Capture(lock) : Playback(lock);
    if (!pcm_ || quit_) continue;
    const auto now = SteadyClock::now();
    if (progressed || !ExpectsProgress()) {
      last_progress_ = now;
    } else if (now - last_progress_ > kStallAfter) {
      Lose(lock, "nothing moved for 2 s");
      continue;
    }
    Wait(lock, progressed);
  }
  PcmPtr closing = std::move(pcm_);
  up_ = false;
  lock.unlock();
  closing.reset();
  lock.lock();
  exited_ = true;
  changed_.notify_all();
}

void AlsaPcmDevice::TryOpen(Lock& lock) {
  lock.unlock();
  PcmPtr pcm;
  PcmGeometry geometry;
  std::string why;
  MMRESULT r = OpenAlsaPcm(device_, dir_, format_, pcm, geometry, why);
  // Capture records from the open on, whether or not a run wants it.
  if (r == MMSYSERR_NOERROR && dir_ == WaveDir::In) {
    if (int e = snd_pcm_start(pcm.get()); e < 0) {
      why = Name() + ": cannot start: " + snd_strerror(e);
      r = MMSYSERR_NODRIVER;
      pcm.reset();
    }
  }
  lock.lock();
  const auto now = SteadyClock::now();
  if (r != MMSYSERR_NOERROR) {
    // An open now answers the new code.
    if (r != down_code_) NoteDeviceChange();
    down_code_ = r;
    if (!first_done_) first_why_ = why;
    first_done_ = true;
    next_attempt_ = now + kRetryEvery;
    changed_.notify_all();
    report_(why, Tell::OpenFailed);
    return;
  }
  pcm_ = std::move(pcm);
  geometry_ = geometry;
  const int n = std::max(0, snd_pcm_poll_descriptors_count(pcm_.get()));
  fds_.assign(static_cast<std::size_t>(n) + 1, pollfd{});
  const int got = snd_pcm_poll_descriptors(pcm_.get(), fds_.data() + 1, static_cast<unsigned>(n));
  fds_.resize(static_cast<std::size_t>(std::max(got, 0)) + 1);
  io_.assign(geometry_.ring * block_, 0);
  staged_ = staged_at_ = 0;
  timed_ = false;
  settle_left_ = dir_ == WaveDir::In ? rate_ / 4 : 0;
  pace_origin_ = last_progress_ = now;
  pace_frames_ = 0;
  idle_rounds_ = 0;
  paused_ = false;
  up_ = true;
  first_done_ = true;
  ++counters_.opens;
  changed_.notify_all();
  NoteDeviceChange();
  if (was_lost_) {
    was_lost_ = false;
    report_(Name() + " is back", Tell::Note);
  }
}

void AlsaPcmDevice::ApplyRequests(Lock& lock) {
  if (drop_requested_) {
    drop_requested_ = false;
    timed_ = false;
    staged_ = staged_at_ = 0;
    lock.unlock();
    snd_pcm_drop(pcm_.get());
    snd_pcm_prepare(pcm_.get());
    lock.lock();
  }
  if (start_requested_) {
    start_requested_ = false;
    drain_pending_ = true;
  }
  if (dir_ == WaveDir::Out && want_paused_ != paused_) {
    const bool pause = want_paused_;
    lock.unlock();
    const snd_pcm_state_t state = snd_pcm_state(pcm_.get());
    // Without a pause on the device what is in its ring is dropped.
    if ((pause && state == SND_PCM_STATE_RUNNING) || (!pause && state == SND_PCM_STATE_PAUSED)) {
      if (snd_pcm_pause(pcm_.get(), pause ? 1 : 0) < 0) {
        snd_pcm_drop(pcm_.get());
        snd_pcm_prepare(pcm_.get());
      }
    }
    lock.lock();
    paused_ = pause;
  }
}

bool AlsaPcmDevice::Capture(Lock& lock) {
  const int injected = std::exchange(inject_, 0);
  const snd_pcm_uframes_t room = io_.size() / block_;
  lock.unlock();
  const snd_pcm_sframes_t n = injected != 0 ? injected : snd_pcm_readi(pcm_.get(), io_.data(), room);
  // Every frame read is one the card recorded: the file keeps them all,
  // also those no run takes. Written unlocked: only this thread reads io_.
  if (InputRecorder* recorder = recorder_.load(); recorder && n > 0) {
    if (!recorder->AppendPcm(io_.data(), static_cast<std::size_t>(n), format_) &&
        !std::exchange(record_refused_, true))
      report_(Name() + ": --record-input keeps only 44100 Hz; this device runs at " +
                  std::to_string(rate_) + " Hz",
              Tell::Note);
  }
  lock.lock();
  if (n == -EAGAIN || n == 0) {
    // The ring is empty: whatever came before the start is gone.
    if (drain_pending_) {
      drain_pending_ = false;
      recording_ = true;
    }
    return false;
  }
  if (n < 0) {
    HandleError(lock, static_cast<int>(n));
    return false;
  }
  const auto frames = static_cast<snd_pcm_uframes_t>(n);
  counters_.frames += n;
  pace_frames_ += n;
  TimeTransfer(lock);
  if (drain_pending_) {
    // One read takes up to a whole ring: all that was there before the start.
    settle_left_ -= std::min(settle_left_, frames);
    drain_pending_ = false;
    recording_ = true;
    return true;
  }
  Deliver(io_.data(), frames);
  return true;
}

// Locked: frames just read go to the head buffers of a run that records.
void AlsaPcmDevice::Deliver(const char* data, snd_pcm_uframes_t frames) {
  const snd_pcm_uframes_t settling = std::min(settle_left_, frames);
  settle_left_ -= settling;
  data += settling * block_;
  frames -= settling;
  if (!recording_ || handle_ == 0) return;
  while (frames > 0) {
    if (queue_.empty()) {
      counters_.framesLost += static_cast<std::int64_t>(frames);
      return;
    }
    WAVEHDR* h = queue_.front();
    const snd_pcm_uframes_t total = h->dwBufferLength / block_;
    const snd_pcm_uframes_t take = std::min(frames, total - std::min(head_frames_, total));
    std::memcpy(h->lpData + head_frames_ * block_, data, take * block_);
    head_frames_ += take;
    data += take * block_;
    frames -= take;
    if (head_frames_ >= total) {
      queue_.pop_front();
      Return(h, head_frames_);
      head_frames_ = 0;
    }
  }
}

bool AlsaPcmDevice::Playback(Lock& lock) {
  if (paused_) return false;
  if (staged_at_ >= staged_) {
    staged_ = staged_at_ = 0;
    if (queue_.empty()) {
      // Frames below the start threshold would never play: start them.
      lock.unlock();
      snd_pcm_sframes_t delay = 0;
      if (snd_pcm_state(pcm_.get()) == SND_PCM_STATE_PREPARED &&
          snd_pcm_delay(pcm_.get(), &delay) == 0 && delay > 0)
        snd_pcm_start(pcm_.get());
      lock.lock();
      return false;
    }
    const int injected = std::exchange(inject_, 0);
    lock.unlock();
    const snd_pcm_sframes_t avail = injected != 0 ? injected : snd_pcm_avail_update(pcm_.get());
    lock.lock();
    if (avail < 0) {
      HandleError(lock, static_cast<int>(avail));
      return false;
    }
    if (avail == 0 || drop_requested_ || want_paused_ != paused_) return false;
    staged_ = TakeFromQueue(
        std::min(static_cast<snd_pcm_uframes_t>(avail), io_.size() / block_), io_.data());
    if (staged_ == 0) return false;
  }
  const int injected = std::exchange(inject_, 0);
  lock.unlock();
  const snd_pcm_sframes_t n =
      injected != 0 ? injected
                    : snd_pcm_writei(pcm_.get(), io_.data() + staged_at_ * block_,
                                     staged_ - staged_at_);
  lock.lock();
  if (n == -EAGAIN || n == 0) return false;
  if (n < 0) {
    HandleError(lock, static_cast<int>(n));
    return false;
  }
  staged_at_ += static_cast<snd_pcm_uframes_t>(n);
  counters_.frames += n;
  pace_frames_ += n;
  TimeTransfer(lock);
  return true;
}

// Locked, after a transfer: the PCM's delay now, for Timing. A stream that
// has not started yet has no place in time.
void AlsaPcmDevice::TimeTransfer(Lock& lock) {
  InputRecorder* const recorder = dir_ == WaveDir::In ? recorder_.load() : nullptr;
  const std::int64_t tapped = recorder ? static_cast<std::int64_t>(recorder->TapFrames()) : 0;
  lock.unlock();
  snd_pcm_sframes_t delay = 0;
  const bool running = snd_pcm_state(pcm_.get()) == SND_PCM_STATE_RUNNING &&
                       snd_pcm_delay(pcm_.get(), &delay) == 0;
  const auto now = SteadyClock::now();
  lock.lock();
  timed_ = running && (dir_ == WaveDir::Out || recorder != nullptr);
  timed_at_ = now;
  timed_frames_ = dir_ == WaveDir::In ? tapped + delay : delay;
}

// Locked: copies up to `frames` of the queued output to `to` (or nowhere);
// each buffer taken whole is done.
snd_pcm_uframes_t AlsaPcmDevice::TakeFromQueue(snd_pcm_uframes_t frames, char* to) {
  snd_pcm_uframes_t taken = 0;
  while (taken < frames && !queue_.empty()) {
    WAVEHDR* h = queue_.front();
    const snd_pcm_uframes_t total = h->dwBufferLength / block_;
    const snd_pcm_uframes_t n = std::min(frames - taken, total - std::min(head_frames_, total));
    if (to != nullptr) std::memcpy(to + taken * block_, h->lpData + head_frames_ * block_, n * block_);
    head_frames_ += n;
    taken += n;
    if (head_frames_ >= total) {
      queue_.pop_front();
      Return(h, head_frames_);
      head_frames_ = 0;
    }
  }
  return taken;
}

// Locked, playback while the PCM is away: the queue moves on at the frame
// rate, so the stream's buffers come back as if they were played.
void AlsaPcmDevice::BridgeByClock() {
  const auto now = SteadyClock::now();
  if (want_paused_ || queue_.empty()) {
    bridge_origin_ += now - last_bridge_;  // the clock holds
  } else {
    const std::int64_t due = FramesIn(now - bridge_origin_, rate_) - bridged_;
    if (due > 0) {
      const snd_pcm_uframes_t taken = TakeFromQueue(static_cast<snd_pcm_uframes_t>(due), nullptr);
      bridged_ += static_cast<std::int64_t>(taken);
      counters_.framesBridged += static_cast<std::int64_t>(taken);
    }
  }
  last_bridge_ = now;
}

void AlsaPcmDevice::HandleError(Lock& lock, int alsa_error) {
  lock.unlock();
  int r = snd_pcm_recover(pcm_.get(), alsa_error, 1);
  // A capture stream prepared again must be started again: it always records.
  if (r >= 0 && dir_ == WaveDir::In) {
    if (int e = snd_pcm_start(pcm_.get()); e < 0 && e != -EBADFD) r = e;
  }
  lock.lock();
  // A broken pipe that cannot be mended is a server gone, not an xrun.
  if (r < 0) {
    Lose(lock, snd_strerror(alsa_error));
    return;
  }
  const bool xrun = alsa_error == -EPIPE;
  timed_ = false;
  if (xrun) ++counters_.xruns;
  ++counters_.recovered;
  pace_origin_ = SteadyClock::now();
  pace_frames_ = 0;
  if (xrun && !counters_.xrunTold.exchange(true))
    report_(Name() + ": " + (dir_ == WaveDir::In ? "overrun" : "underrun") +
                " recovered; later ones are counted in the dump",
            Tell::Note);
}

void AlsaPcmDevice::Lose(Lock& lock, const std::string& reason) {
  ++counters_.failures;
  report_(Name() + " failed: " + reason + "; reopening it every second", Tell::Lost);
  const auto now = SteadyClock::now();
  was_lost_ = true;
  up_ = false;
  timed_ = false;
  down_code_ = MMSYSERR_NODRIVER;
  NoteDeviceChange();
  down_reason_ = reason;
  recording_ = start_requested_ = drain_pending_ = false;
  if (dir_ == WaveDir::In && handle_ != 0) {
    stream_failed_ = true;
    ReturnAll();
  }
  staged_ = staged_at_ = 0;
  bridge_origin_ = last_bridge_ = now;
  bridged_ = 0;
  PcmPtr dead = std::move(pcm_);
  fds_.resize(1);
  lock.unlock();
  dead.reset();
  lock.lock();
  next_attempt_ = SteadyClock::now() + kRetryEvery;
}

bool AlsaPcmDevice::ExpectsProgress() const {
  if (dir_ == WaveDir::In) return true;
  return !paused_ && (staged_at_ < staged_ || !queue_.empty());
}

// Locked: until the PCM is ready, a request arrives, or the next tick. A
// device may never run ahead of the wall clock by more than its ring (ALSA's
// null device takes and gives frames as fast as they are asked for).
void AlsaPcmDevice::Wait(Lock& lock, bool progressed) {
  const auto now = SteadyClock::now();
  const std::int64_t allowed = FramesIn(now - pace_origin_, rate_) +
                               static_cast<std::int64_t>(geometry_.ring + geometry_.period);
  int timeout_ms = kIdlePollMs;
  bool pcm_fds = true;
  if (pace_frames_ > allowed) {
    timeout_ms = static_cast<int>((pace_frames_ - allowed) * 1000 / rate_) + 1;
    pcm_fds = false;
  } else if (progressed) {
    idle_rounds_ = 0;
    return;
  } else {
    // Output with nothing staged waits for a buffer, not for the PCM.
    if (dir_ == WaveDir::Out && staged_at_ >= staged_) pcm_fds = false;
    // A plugin's descriptors may wake again and again without the PCM
    // being ready: then a short sleep instead.
    if (idle_rounds_ > 3) {
      timeout_ms = 5;
      pcm_fds = false;
    }
  }
  lock.unlock();
  fds_[0] = {wake_.Fd(), POLLIN, 0};
  const nfds_t count = pcm_fds ? static_cast<nfds_t>(fds_.size()) : 1;
  const int ready = poll(fds_.data(), count, timeout_ms);
  if (ready > 0 && (fds_[0].revents & POLLIN)) wake_.Drain();
  if (ready > 0 && pcm_fds && fds_.size() > 1) {
    unsigned short revents = 0;
    snd_pcm_poll_descriptors_revents(pcm_.get(), fds_.data() + 1,
                                     static_cast<unsigned>(fds_.size() - 1), &revents);
    if (revents != 0) ++idle_rounds_;
  } else if (ready == 0) {
    idle_rounds_ = 0;
  }
  lock.lock();
}

}  // namespace platform
