#include "platform/wave/alsa_backend.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <deque>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/toolkit/messages.h"

namespace platform {

namespace {

// Handles of every ALSA backend of this process, apart from the virtual
// card's range: never reused.
std::atomic<std::uintptr_t> next_handle{0x40000000};

// The ring asked of the PCM; buffers are handed over in pieces as it has room.
constexpr unsigned kLatencyUs = 100'000;

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmPtr = std::unique_ptr<snd_pcm_t, PcmCloser>;

// An eventfd that wakes the device thread out of poll().
class WakeFd {
 public:
  WakeFd() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~WakeFd() {
    if (fd_ >= 0) close(fd_);
  }
  WakeFd(const WakeFd&) = delete;
  WakeFd& operator=(const WakeFd&) = delete;
  bool Valid() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  void Signal() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  }
  void Drain() const {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t n = read(fd_, &count, sizeof count);
  }

 private:
  int fd_;
};

// The library's own diagnostics would repeat on stderr what the result
// codes already say, on every retry.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
}

const char* DirName(WaveDir dir) { return dir == WaveDir::In ? "capture" : "playback"; }

MMRESULT OpenPcm(const std::string& device, WaveDir dir, const WAVEFORMATEX& format, PcmPtr& out,
                 snd_pcm_uframes_t& ring, snd_pcm_uframes_t& period, std::string& why) {
  SilenceAlsaLibrary();
  snd_pcm_t* raw = nullptr;
  const snd_pcm_stream_t stream =
      dir == WaveDir::In ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
  int e = snd_pcm_open(&raw, device.c_str(), stream, SND_PCM_NONBLOCK);
  if (e < 0) {
    why = "ALSA device '" + device + "' (" + DirName(dir) + "): " + snd_strerror(e);
    return OpenErrorToMmresult(e);
  }
  PcmPtr pcm(raw);
  const snd_pcm_format_t sample =
      format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  e = snd_pcm_set_params(pcm.get(), sample, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                         format.nSamplesPerSec, 1, kLatencyUs);
  if (e < 0) {
    why = "ALSA device '" + device + "' (" + DirName(dir) +
          "): " + std::to_string(format.nChannels) + " channel(s), " +
          std::to_string(format.wBitsPerSample) + " bits, " +
          std::to_string(format.nSamplesPerSec) + " Hz: " + snd_strerror(e);
    return e == -EINVAL ? WAVERR_BADFORMAT : OpenErrorToMmresult(e);
  }
  ring = period = 0;
  if (snd_pcm_get_params(pcm.get(), &ring, &period) < 0 || period == 0) {
    period = format.nSamplesPerSec / 40;
    ring = 4 * period;
  }
  out = std::move(pcm);
  return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT OpenErrorToMmresult(int alsa_error) {
  switch (-alsa_error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EINVAL:
      return MMSYSERR_BADDEVICEID;
    case EBUSY:
    case EAGAIN:
      return MMSYSERR_ALLOCATED;
    case ENOMEM:
      return MMSYSERR_NOMEM;
    case EACCES:
    case EPERM:
      return MMSYSERR_NOTENABLED;
    default:
      return MMSYSERR_NODRIVER;
  }
}

std::string AlsaDeviceFromCardOption(const std::string& card) {
  const std::string prefix = "alsa:";
  if (card.compare(0, prefix.size(), prefix) != 0 || card.size() == prefix.size()) return "default";
  return card.substr(prefix.size());
}

bool AlsaPcmUsable(const std::string& device, WaveDir dir, const WAVEFORMATEX& format) {
  PcmPtr pcm;
  snd_pcm_uframes_t ring = 0, period = 0;
  std::string why;
  return OpenPcm(device, dir, format, pcm, ring, period, why) == MMSYSERR_NOERROR;
}

// One open stream and its device thread. The GUI thread changes the shared
// state under the mutex and wakes the thread; commands that must be done
// when the call returns (start, pause, restart, reset) are waited for.
class AlsaWaveBackend::Stream {
 public:
  Stream(WaveDir dir, std::uintptr_t handle, HWND callback, const WAVEFORMATEX& format, PcmPtr pcm,
         snd_pcm_uframes_t ring, snd_pcm_uframes_t period)
      : dir_(dir),
        handle_(handle),
        callback_(callback),
        block_(format.nBlockAlign),
        rate_(format.nSamplesPerSec),
        pcm_(std::move(pcm)) {
    const int n = std::max(0, snd_pcm_poll_descriptors_count(pcm_.get()));
    fds_.resize(static_cast<std::size_t>(n) + 1);
    pcm_fds_ = snd_pcm_poll_descriptors(pcm_.get(), fds_.data() + 1, static_cast<unsigned>(n));
    if (pcm_fds_ < 0) pcm_fds_ = 0;
    // While no input buffer is queued a whole ring can be discarded at a
    // time, into a scratch block made once.
    discard_frames_ = std::max<snd_pcm_uframes_t>({ring, period, 64});
    scratch_.resize(discard_frames_ * block_);
    idle_ms_ = std::clamp(static_cast<int>(period * 1000 / std::max<DWORD>(rate_, 1)), 5, 50);
    snd_pcm_hw_params_t* hw = nullptr;
    if (snd_pcm_hw_params_malloc(&hw) == 0) {
      if (snd_pcm_hw_params_current(pcm_.get(), hw) == 0)
        can_pause_ = snd_pcm_hw_params_can_pause(hw);
      snd_pcm_hw_params_free(hw);
    }
  }

  ~Stream() { Stop(); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  bool Ready() const { return wake_.Valid(); }
  WaveDir Dir() const { return dir_; }
  HWND Callback() const { return callback_; }

  void Begin() {
    thread_ = std::thread([this] { Run(); });
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.Signal();
    if (thread_.joinable()) thread_.join();
  }

  bool Failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
  }
  bool HasQueued() const {
    std::lock_guard lock(mutex_);
    return !queue_.empty();
  }
  std::int64_t Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  int Xruns() const {
    std::lock_guard lock(mutex_);
    return xruns_;
  }
  std::string Error() const {
    std::lock_guard lock(mutex_);
    return error_;
  }
  std::string Describe() const {
    std::lock_guard lock(mutex_);
    std::string s = dir_ == WaveDir::In ? "input " : "output ";
    s += failed_               ? "failed (" + error_ + ")"
         : dir_ == WaveDir::In ? (recording_ ? "recording" : "stopped")
                               : (paused_          ? "paused"
                                  : queue_.empty() ? "idle"
                                                   : "playing");
    s += ", " + std::to_string(queue_.size()) + " queued, " + std::to_string(frames_) +
         " frames, " + std::to_string(xruns_) + " xruns";
    return s;
  }

  void Inject(int alsa_error) {
    {
      std::lock_guard lock(mutex_);
      inject_ = alsa_error;
    }
    wake_.Signal();
  }

  MMRESULT Queue(WAVEHDR* header) {
    {
      std::lock_guard lock(mutex_);
      if (failed_) return MMSYSERR_NODRIVER;
      header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
      if (dir_ == WaveDir::In) header->dwBytesRecorded = 0;
      queue_.push_back(header);
    }
    wake_.Signal();
    return MMSYSERR_NOERROR;
  }

  MMRESULT Start() {
    return Command([this] { start_pending_ = true; });
  }
  MMRESULT SetPaused(bool paused) {
    return Command([this, paused] { want_paused_ = paused; });
  }
  MMRESULT Reset() {
    return Command([this] { reset_pending_ = true; });
  }

 private:
  template <typename F>
  MMRESULT Command(F&& set) {
    std::unique_lock lock(mutex_);
    if (failed_) return MMSYSERR_NODRIVER;
    set();
    const std::uint64_t ticket = ++requested_;
    wake_.Signal();
    acked_.wait(lock, [&] { return handled_ >= ticket || exited_; });
    return failed_ ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
  }

  void Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
      if (handled_ != requested_) {
        HandleCommands();
        handled_ = requested_;
        acked_.notify_all();
        continue;
      }
      if (failed_) {
        Sleep(lock, -1);
      } else if (dir_ == WaveDir::Out) {
        if (paused_ || queue_.empty())
          Sleep(lock, -1);
        else
          Transfer(lock);
      } else if (!recording_) {
        Sleep(lock, -1);
      } else if (queue_.empty()) {
        Discard(lock);
      } else {
        Transfer(lock);
      }
    }
    exited_ = true;
    acked_.notify_all();
  }

  // Device thread, locked.
  void HandleCommands() {
    if (reset_pending_) {
      reset_pending_ = false;
      start_pending_ = false;
      snd_pcm_drop(pcm_.get());
      snd_pcm_prepare(pcm_.get());
      ReturnAll();
      recording_ = false;
    }
    if (start_pending_) {
      start_pending_ = false;
      if (!recording_ && !failed_) {
        recording_ = true;
        if (snd_pcm_state(pcm_.get()) != SND_PCM_STATE_PREPARED) snd_pcm_prepare(pcm_.get());
        if (int e = snd_pcm_start(pcm_.get()); e < 0) Fail(e);
      }
    }
    if (dir_ == WaveDir::Out && want_paused_ != paused_ && !failed_) {
      paused_ = want_paused_;
      const snd_pcm_state_t state = snd_pcm_state(pcm_.get());
      if (paused_ && state == SND_PCM_STATE_RUNNING) {
        // Without a pause on the device what is in its ring is dropped.
        if (!can_pause_ || snd_pcm_pause(pcm_.get(), 1) < 0) {
          snd_pcm_drop(pcm_.get());
          snd_pcm_prepare(pcm_.get());
        }
      } else if (!paused_ && state == SND_PCM_STATE_PAUSED) {
        if (snd_pcm_pause(pcm_.get(), 0) < 0) {
          snd_pcm_drop(pcm_.get());
          snd_pcm_prepare(pcm_.get());
        }
      }
    }
  }

  // Device thread, locked: the head goes back with what it holds so far.
  void ReturnAll() {
    bool head = true;
    for (WAVEHDR* h : queue_) {
      Return(h, head ? head_frames_ : 0);
      head = false;
    }
    queue_.clear();
    head_frames_ = 0;
  }

  void Return(WAVEHDR* h, snd_pcm_uframes_t frames) {
    if (dir_ == WaveDir::In) h->dwBytesRecorded = static_cast<DWORD>(frames * block_);
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    PostMessage(callback_, dir_ == WaveDir::In ? MM_WIM_DATA : MM_WOM_DONE, handle_,
                reinterpret_cast<LPARAM>(h));
  }

  void Fail(int alsa_error) {
    failed_ = true;
    error_ = snd_strerror(alsa_error);
    recording_ = false;
    ReturnAll();
  }

  // Device thread, locked: moves what the PCM takes or gives of the head
  // buffer; the header stays queued (and so valid) while unlocked.
  void Transfer(std::unique_lock<std::mutex>& lock) {
    WAVEHDR* h = queue_.front();
    const snd_pcm_uframes_t total = h->dwBufferLength / block_;
    if (head_frames_ >= total) {
      Complete();
      return;
    }
    char* at = h->lpData + head_frames_ * block_;
    const snd_pcm_uframes_t want = total - head_frames_;
    const int injected = std::exchange(inject_, 0);
    lock.unlock();
    snd_pcm_sframes_t n = injected;
    if (injected == 0)
      n = dir_ == WaveDir::In ? snd_pcm_readi(pcm_.get(), at, want)
                              : snd_pcm_writei(pcm_.get(), at, want);
    int failure = 0;
    bool recovered = false;
    if (n == -EAGAIN) {
      n = 0;
      WaitForPcm();
    } else if (n < 0) {
      failure = Recover(static_cast<int>(n));
      recovered = failure == 0;
      n = 0;
    }
    lock.lock();
    if (failure != 0) {
      Fail(failure);
      return;
    }
    if (recovered) ++xruns_;
    head_frames_ += static_cast<snd_pcm_uframes_t>(n);
    frames_ += n;
    if (head_frames_ >= total) Complete();
  }

  void Complete() {
    WAVEHDR* h = queue_.front();
    queue_.pop_front();
    const snd_pcm_uframes_t frames = head_frames_;
    head_frames_ = 0;
    Return(h, frames);
  }

  // Device thread, locked: recording with no buffer queued loses the
  // frames, as a card does, rather than letting them pile up in the ring.
  void Discard(std::unique_lock<std::mutex>& lock) {
    const int injected = std::exchange(inject_, 0);
    lock.unlock();
    int failure = 0;
    bool recovered = false;
    snd_pcm_sframes_t avail = injected != 0 ? injected : snd_pcm_avail_update(pcm_.get());
    if (avail > 0) {
      avail = snd_pcm_readi(
          pcm_.get(), scratch_.data(),
          std::min<snd_pcm_uframes_t>(static_cast<snd_pcm_uframes_t>(avail), discard_frames_));
    }
    if (avail < 0 && avail != -EAGAIN) {
      failure = Recover(static_cast<int>(avail));
      recovered = failure == 0;
    }
    lock.lock();
    if (failure != 0) {
      Fail(failure);
      return;
    }
    if (recovered) ++xruns_;
    Sleep(lock, idle_ms_);
  }

  // Not locked. 0 when the PCM runs again, else the error that stays.
  int Recover(int error) {
    const int r = snd_pcm_recover(pcm_.get(), error, 1);
    if (r < 0) return r;
    if (dir_ == WaveDir::In) {
      // A capture stream prepared again starts at once: recording goes on.
      if (int e = snd_pcm_start(pcm_.get()); e < 0 && e != -EBADFD) return e;
    }
    return 0;
  }

  // Not locked: until the PCM is ready, a command arrives, or a while.
  void WaitForPcm() {
    for (int round = 0; round < 5; ++round) {
      fds_[0] = {wake_.Fd(), POLLIN, 0};
      if (poll(fds_.data(), static_cast<nfds_t>(1 + pcm_fds_), 100) <= 0) return;
      if (fds_[0].revents & POLLIN) {
        wake_.Drain();
        return;
      }
      // A plugin's descriptors may wake without the PCM being ready.
      unsigned short revents = 0;
      if (snd_pcm_poll_descriptors_revents(pcm_.get(), fds_.data() + 1,
                                           static_cast<unsigned>(pcm_fds_), &revents) < 0 ||
          (revents & (POLLIN | POLLOUT | POLLERR | POLLHUP)))
        return;
    }
  }

  // Device thread, locked: waits for a wake-up (or `ms`, -1 for ever).
  void Sleep(std::unique_lock<std::mutex>& lock, int ms) {
    lock.unlock();
    pollfd fd{wake_.Fd(), POLLIN, 0};
    if (poll(&fd, 1, ms) > 0 && (fd.revents & POLLIN)) wake_.Drain();
    lock.lock();
  }

  const WaveDir dir_;
  const std::uintptr_t handle_;
  const HWND callback_;
  const snd_pcm_uframes_t block_;
  const DWORD rate_;
  PcmPtr pcm_;  // used by the device thread only while it runs
  WakeFd wake_;
  std::vector<pollfd> fds_;  // [0] wake-up, then the PCM's
  int pcm_fds_ = 0;
  std::vector<char> scratch_;
  snd_pcm_uframes_t discard_frames_ = 0;
  int idle_ms_ = 10;
  bool can_pause_ = false;

  mutable std::mutex mutex_;
  std::condition_variable acked_;
  std::deque<WAVEHDR*> queue_;
  snd_pcm_uframes_t head_frames_ = 0;  // frames of the head buffer already moved
  std::uint64_t requested_ = 0, handled_ = 0;
  bool start_pending_ = false, reset_pending_ = false, want_paused_ = false;
  bool recording_ = false, paused_ = false, failed_ = false, quit_ = false, exited_ = false;
  int inject_ = 0;
  std::int64_t frames_ = 0;
  int xruns_ = 0;
  std::string error_;
  std::thread thread_;
};

AlsaWaveBackend::AlsaWaveBackend(std::string device) : device_(std::move(device)) {
  if (device_.empty()) device_ = "default";
}

AlsaWaveBackend::~AlsaWaveBackend() {
  std::map<std::uintptr_t, std::unique_ptr<Stream>> streams;
  {
    std::lock_guard lock(mutex_);
    streams.swap(streams_);
  }
  streams.clear();  // each joins its thread
}

UINT AlsaWaveBackend::DeviceCount(WaveDir) { return 1; }

void AlsaWaveBackend::NoteError(const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    last_error_ = text;
    // A retried open says the same again: each text is told once.
    if (!told_.insert(text).second) return;
  }
  if (log_) log_(text);
}

std::string AlsaWaveBackend::LastError() const {
  std::lock_guard lock(mutex_);
  return last_error_;
}

MMRESULT AlsaWaveBackend::Open(WaveDir dir, UINT, const WAVEFORMATEX& format, HWND callback,
                               DWORD flags, std::uintptr_t* handle) {
  PcmPtr pcm;
  snd_pcm_uframes_t ring = 0, period = 0;
  std::string why;
  if (MMRESULT r = OpenPcm(device_, dir, format, pcm, ring, period, why); r != MMSYSERR_NOERROR) {
    NoteError(why);
    return r;
  }
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  const std::uintptr_t h = next_handle.fetch_add(1);
  std::unique_ptr<Stream> stream;
  try {
    stream = std::make_unique<Stream>(dir, h, callback, format, std::move(pcm), ring, period);
    if (!stream->Ready()) return MMSYSERR_NOMEM;
    // Posted before the thread can post anything of this stream.
    PostMessage(callback, dir == WaveDir::In ? MM_WIM_OPEN : MM_WOM_OPEN, h, 0);
    stream->Begin();
  } catch (const std::bad_alloc&) {
    return MMSYSERR_NOMEM;
  } catch (const std::system_error&) {
    return MMSYSERR_NOMEM;
  }
  {
    std::lock_guard lock(mutex_);
    streams_.emplace(h, std::move(stream));
  }
  *handle = h;
  return MMSYSERR_NOERROR;
}

AlsaWaveBackend::Stream* AlsaWaveBackend::Find(WaveDir dir, std::uintptr_t handle) const {
  std::lock_guard lock(mutex_);
  auto it = streams_.find(handle);
  if (it == streams_.end() || it->second->Dir() != dir) return nullptr;
  return it->second.get();
}

MMRESULT AlsaWaveBackend::Check(WaveDir dir, std::uintptr_t handle) {
  Stream* s = Find(dir, handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  return s->Failed() ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
}

MMRESULT AlsaWaveBackend::Prepare(WaveDir dir, std::uintptr_t handle, WAVEHDR*) {
  return Check(dir, handle);
}

MMRESULT AlsaWaveBackend::Queue(WaveDir dir, std::uintptr_t handle, WAVEHDR* header) {
  Stream* s = Find(dir, handle);
  return s == nullptr ? MMSYSERR_INVALHANDLE : s->Queue(header);
}

MMRESULT AlsaWaveBackend::Start(std::uintptr_t in_handle) {
  Stream* s = Find(WaveDir::In, in_handle);
  return s == nullptr ? MMSYSERR_INVALHANDLE : s->Start();
}

MMRESULT AlsaWaveBackend::Pause(std::uintptr_t out_handle) {
  Stream* s = Find(WaveDir::Out, out_handle);
  return s == nullptr ? MMSYSERR_INVALHANDLE : s->SetPaused(true);
}

MMRESULT AlsaWaveBackend::Restart(std::uintptr_t out_handle) {
  Stream* s = Find(WaveDir::Out, out_handle);
  return s == nullptr ? MMSYSERR_INVALHANDLE : s->SetPaused(false);
}

MMRESULT AlsaWaveBackend::Reset(WaveDir dir, std::uintptr_t handle) {
  Stream* s = Find(dir, handle);
  return s == nullptr ? MMSYSERR_INVALHANDLE : s->Reset();
}

MMRESULT AlsaWaveBackend::Close(WaveDir dir, std::uintptr_t handle) {
  std::unique_ptr<Stream> stream;
  {
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    if (it == streams_.end() || it->second->Dir() != dir) return MMSYSERR_INVALHANDLE;
    if (!it->second->Failed() && it->second->HasQueued()) return WAVERR_STILLPLAYING;
    stream = std::move(it->second);
    streams_.erase(it);
  }
  const HWND callback = stream->Callback();
  if (stream->Failed())
    NoteError("ALSA device '" + device_ + "' (" + DirName(dir) + ") failed: " + stream->Error());
  stream.reset();  // joins the device thread, then closes the PCM
  PostMessage(callback, dir == WaveDir::In ? MM_WIM_CLOSE : MM_WOM_CLOSE, handle, 0);
  return MMSYSERR_NOERROR;
}

std::size_t AlsaWaveBackend::OpenStreams() const {
  std::lock_guard lock(mutex_);
  return streams_.size();
}

std::int64_t AlsaWaveBackend::FramesTransferred(std::uintptr_t handle) const {
  std::lock_guard lock(mutex_);
  auto it = streams_.find(handle);
  return it == streams_.end() ? 0 : it->second->Frames();
}

int AlsaWaveBackend::XrunsRecovered(std::uintptr_t handle) const {
  std::lock_guard lock(mutex_);
  auto it = streams_.find(handle);
  return it == streams_.end() ? 0 : it->second->Xruns();
}

std::string AlsaWaveBackend::Describe() const {
  std::lock_guard lock(mutex_);
  std::string s = "alsa '" + device_ + "': " + std::to_string(streams_.size()) + " open";
  for (const auto& [h, stream] : streams_) s += "; " + stream->Describe();
  if (!last_error_.empty()) s += "; last error: " + last_error_;
  return s;
}

void AlsaWaveBackend::InjectTransferError(std::uintptr_t handle, int alsa_error) {
  std::lock_guard lock(mutex_);
  auto it = streams_.find(handle);
  if (it != streams_.end()) it->second->Inject(alsa_error);
}

}  // namespace platform
