// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One direction of the real card: an ALSA PCM that a device thread of its
// own keeps open and running, and at most one wave stream attached to it.
//
// Every PCM call happens on the device thread, so a sound server that stops
// answering never blocks the GUI thread. The GUI thread changes the queue
// and its requests under the mutex and wakes the thread; the thread reads
// and writes headers only under the mutex, so once a call has returned, the
// buffers it gave back are never touched again.
//
// Capture records all the time; frames read while no run records are
// dropped, as a card drops them. Every frame read, delivered or not, also
// goes to the input recorder when there is one (--record-input). A start
// marks the frame where delivery begins: what the ring held before it is
// dropped. The first quarter second
// after each open (a resampling server's lead-in of zeros and ringing) is
// never delivered.
// Playback: a header is done once its frames are copied to the thread's
// staging block, from which they go into the PCM's ring.
//
// An error that snd_pcm_recover cannot mend, or two seconds without progress,
// closes the PCM, and the thread reopens it every second. An attached capture
// stream fails then (its buffers come back; its calls answer
// MMSYSERR_NODRIVER). A playback stream never learns of it: its buffers are
// taken at the frame rate until the PCM is back, so its phase goes on.
#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/card/alsa/alsa_pcm.h"
#include "platform/card/alsa/wake_fd.h"

namespace platform {

class InputRecorder;

// What happened to one direction over the whole run, across reopens.
struct AlsaPcmCounters {
  std::atomic<int> opens{0};      // PCM opens that succeeded
  std::atomic<int> xruns{0};      // over- and underruns seen
  std::atomic<int> recovered{0};  // errors mended by snd_pcm_recover
  std::atomic<int> failures{0};   // losses of the device (closed, then reopened)
  std::atomic<std::int64_t> frames{0};        // frames moved to or from the PCM
  std::atomic<std::int64_t> framesLost{0};    // captured with no buffer to take them
  std::atomic<std::int64_t> framesBridged{0}; // played into the void while the PCM was away
  std::atomic<bool> xrunTold{false};          // the first xrun is told, the rest counted
};

class AlsaPcmDevice {
 public:
  using SteadyClock = std::chrono::steady_clock;
  // What a line for the user tells: a failed open (told once per text, as
  // the same open is retried), a device lost, or a note (back again, xrun).
  enum class Tell { OpenFailed, Lost, Note };
  using Report = std::function<void(const std::string& text, Tell kind)>;

  AlsaPcmDevice(std::string device, WaveDir dir, const WAVEFORMATEX& format,
                AlsaPcmCounters& counters, Report report);
  // Stops the thread (it must have been stopped with Stop first if it could
  // hang); closes the PCM.
  ~AlsaPcmDevice();
  AlsaPcmDevice(const AlsaPcmDevice&) = delete;
  AlsaPcmDevice& operator=(const AlsaPcmDevice&) = delete;

  // The outcome of the first open, waited for at most `timeout`; a device
  // that does not answer by then is MMSYSERR_NODRIVER (it goes on trying).
  MMRESULT AwaitFirstOpen(std::chrono::milliseconds timeout, std::string& why);
  bool Up() const;
  // What an open answers while the PCM is away: the code of its last failure.
  MMRESULT DownCode() const;
  const WAVEFORMATEX& Format() const { return format_; }
  // Asks the thread to end and waits at most `timeout`; false if it is
  // stuck in the device (then it must be left running, never destroyed).
  bool Stop(std::chrono::milliseconds timeout);

  // The attached stream.
  void Attach(std::uintptr_t handle, HWND callback);
  void Detach();
  bool StreamFailed() const;
  bool HasQueued() const;
  MMRESULT Queue(WAVEHDR* header);
  MMRESULT Start();                // capture: delivery begins at this frame
  MMRESULT Reset();                // every buffer back at once
  MMRESULT SetPaused(bool paused);  // playback

  // Capture: every frame read from now on also goes to `recorder` (which
  // must outlive the device thread), or to none.
  void SetRecorder(InputRecorder* recorder) { recorder_ = recorder; }

  std::string Describe() const;
  PcmGeometry Geometry() const;

  // Where the stream stands in time, from the PCM's own delay taken after
  // its last transfer; empty while the PCM is away, stopped or not yet
  // timed. Capture: the frame, counted as the recorder hands them to its
  // tap, that the converter was recording at `at`. Playback: `at` is when
  // the frame after all that is queued now leaves the converter.
  struct ConverterTime {
    SteadyClock::time_point at;
    std::int64_t frame = 0;
  };
  std::optional<ConverterTime> Timing() const;
  // Tests: the next transfer fails with this (negative) ALSA code.
  void InjectError(int alsa_error);

 private:
  using Lock = std::unique_lock<std::mutex>;
  void Run();
  void TryOpen(Lock& lock);
  void ApplyRequests(Lock& lock);
  bool Capture(Lock& lock);
  bool Playback(Lock& lock);
  void Deliver(const char* data, snd_pcm_uframes_t frames);
  snd_pcm_uframes_t TakeFromQueue(snd_pcm_uframes_t frames, char* to);
  void BridgeByClock();
  void HandleError(Lock& lock, int alsa_error);
  void Lose(Lock& lock, const std::string& reason);
  void ReturnAll();
  void Return(WAVEHDR* header, snd_pcm_uframes_t frames);
  bool ExpectsProgress() const;
  void TimeTransfer(Lock& lock);
  void Wait(Lock& lock, bool progressed);
  std::string Name() const;

  const std::string device_;
  const WaveDir dir_;
  const WAVEFORMATEX format_;
  const snd_pcm_uframes_t block_;
  const unsigned rate_;
  AlsaPcmCounters& counters_;
  const Report report_;
  WakeFd wake_;
  std::atomic<InputRecorder*> recorder_{nullptr};

  // Owned by the device thread: the PCM and what it is doing with it.
  PcmPtr pcm_;
  PcmGeometry geometry_;
  std::vector<pollfd> fds_;  // [0] wake-up, then the PCM's
  std::vector<char> io_;     // capture: read block; playback: staging
  snd_pcm_uframes_t staged_ = 0, staged_at_ = 0;
  snd_pcm_uframes_t settle_left_ = 0;
  SteadyClock::time_point next_attempt_{}, last_progress_{}, pace_origin_{};
  std::int64_t pace_frames_ = 0;
  int idle_rounds_ = 0;
  bool was_lost_ = false;
  bool record_refused_ = false;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // Shared with the GUI thread, under the mutex.
  bool up_ = false, first_done_ = false, quit_ = false, exited_ = false;
  MMRESULT down_code_ = MMSYSERR_NODRIVER;
  std::string first_why_, down_reason_;
  std::uintptr_t handle_ = 0;
  HWND callback_{};
  bool stream_failed_ = false;
  std::deque<WAVEHDR*> queue_;
  snd_pcm_uframes_t head_frames_ = 0;  // frames of the head buffer already moved
  bool start_requested_ = false, drain_pending_ = false, recording_ = false;
  bool drop_requested_ = false, want_paused_ = false, paused_ = false;
  int inject_ = 0;
  // After the last transfer: when, and the PCM's delay then (playback) or
  // the tap's frame at the converter then (capture).
  bool timed_ = false;
  SteadyClock::time_point timed_at_{};
  std::int64_t timed_frames_ = 0;
  // Playback while the PCM is away: frames taken since the origin.
  SteadyClock::time_point bridge_origin_{}, last_bridge_{};
  std::int64_t bridged_ = 0;

  std::thread thread_;
};

}  // namespace platform
