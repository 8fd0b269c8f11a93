// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/lab.h"

#include <QApplication>
#include <QBuffer>
#include <QMetaObject>
#include <QPixmap>
#include <QTabWidget>
#include <QThread>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "lab/measuring_window.h"
#include "lab/plot_frame.h"
#include "lab/readout_table.h"
#include "lab/remote_server.h"
#include "lab/scpi_commands.h"
#include "platform/base/json.h"

namespace lab {

namespace {

constexpr double kFullScaleCounts = 32767.0;
// A fundamental under a few counts is no tone.
constexpr double kMinToneCounts = 3.0;

bool ParseNumber(const std::string& s, double& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

bool EndsWith(const std::string& s, const char* suffix) {
  const std::string x(suffix);
  return s.size() > x.size() && s.compare(s.size() - x.size(), x.size(), x) == 0;
}

}  // namespace

Lab::Lab(ProgramLink link, LabOptions options)
    : link_(std::move(link)),
      options_(std::move(options)),
      store_(options_.settings),
      collector_(kBlockFrames, 16),
      analyzer_(kBlockFrames),
      block_(2 * kBlockFrames),
      ur_(kBlockFrames),
      il_(kBlockFrames),
      sweep_(SweepLink{link_.generator, link_.set_generator, link_.generator_arrival,
                       link_.output_breaks}),
      views_(kBlockFrames),
      remote_address_(kDefaultRemoteAddress) {
  AddListener([this](const Block& b) { views_.Take(b); });
}

void Lab::AddListener(std::function<void(const Block&)> listener) {
  listeners_.push_back(std::move(listener));
}

Lab::~Lab() {
  remote_.reset();
  if (link_.set_capture_tap) link_.set_capture_tap(nullptr);
}

std::string Lab::Start() {
  card_ = link_.card_name ? link_.card_name() : std::string("card");
  calibration_ = store_.Load(card_);
  const bool overridden = options_.cal_ur || options_.cal_il || options_.shunt;
  if (options_.cal_ur) calibration_.ur_full_scale_v = *options_.cal_ur;
  if (options_.cal_il) calibration_.il_full_scale_v = *options_.cal_il;
  if (options_.shunt) calibration_.shunt_ohm = *options_.shunt;
  if (overridden) calibration_.source = "options";
  if (link_.generator) startup_generator_ = link_.generator();
  link_.set_capture_tap(
      [this](const std::int16_t* stereo, std::size_t frames) { OnFrames(stereo, frames); });
  if (options_.open_window) ShowWindow();
  return store_.Problem();
}

void Lab::OnFrames(const std::int16_t* stereo, std::size_t frames) {
  if (!collector_.Append(stereo, frames)) return;
  // A virtual card records on this thread: measured at once, in step with
  // its clock. A real card's capture thread hands the blocks over.
  if (QThread::currentThread() == thread())
    ProcessBlocks();
  else
    QMetaObject::invokeMethod(
        this, [this] { ProcessBlocks(); }, Qt::QueuedConnection);
}

void Lab::ProcessBlocks() {
  std::uint64_t first = 0;
  bool any = false;
  while (collector_.Take(block_, first)) {
    Measure(block_, first);
    sweep_.OnBlock(block_, first);
    any = true;
  }
  if (any) Refresh();
}

void Lab::Measure(const std::vector<std::int16_t>& stereo, std::uint64_t first_frame) {
  const Calibration& c = calibration_;
  const double ur_volts = c.ur_full_scale_v / kFullScaleCounts;
  const double il_amperes = c.il_full_scale_v / kFullScaleCounts / c.shunt_ohm;
  bool ur_clipped = false, il_clipped = false;
  for (std::size_t k = 0; k < kBlockFrames; ++k) {
    const std::int16_t r = stereo[2 * k], l = stereo[2 * k + 1];
    ur_clipped = ur_clipped || r >= 32767 || r <= -32767;
    il_clipped = il_clipped || l >= 32767 || l <= -32767;
    ur_[k] = r * ur_volts;
    il_[k] = l * il_amperes;
  }
  analysis::BlockScale scale;
  scale.sample_rate = kSampleRateHz;
  scale.clock_ppm = c.clock_ppm;
  scale.skew_s = c.skew_s;
  scale.ur_min_amplitude = kMinToneCounts * ur_volts;
  scale.il_min_amplitude = kMinToneCounts * il_amperes;
  latest_ = analyzer_.Measure(ur_, il_, scale, ur_clipped, il_clipped);
  latest_time_s_ = static_cast<double>(first_frame) / kSampleRateHz;
  last_block_ = stereo;
  ++blocks_;
  // The spectrum's 0 dB: full scale until calibrated, then 1 V or 1 A RMS.
  const bool nominal = c.IsNominal();
  const Block block{ur_,
                    il_,
                    *latest_,
                    latest_time_s_,
                    kSampleRateHz,
                    nominal ? c.ur_full_scale_v : std::sqrt(2.0),
                    nominal ? c.il_full_scale_v / c.shunt_ohm : std::sqrt(2.0),
                    nominal ? "dBFS" : "dBV",
                    nominal ? "dBFS" : "dB(1A)"};
  for (const auto& listener : listeners_) listener(block);
  if (log_.IsOpen()) {
    if (std::string e = log_.Write(latest_time_s_, *latest_); !e.empty()) {
      log_error_ = e;
      std::fprintf(stderr, "osciloskop: %s\n", e.c_str());
    }
  }
}

void Lab::Refresh() {
  if (window_) window_->ShowState();
  if (remote_) remote_->Resume();
  if (response_view_) response_view_->ShowState();
}

std::vector<std::string> Lab::Notes() const {
  std::vector<std::string> notes;
  if (!latest_) notes.push_back("čeká se na první čtvrtsekundu vstupu");
  if (latest_ && latest_->ur.clipped)
    notes.push_back("UR: vstup je přebuzen, vzorky jsou oříznuty");
  if (latest_ && latest_->il.clipped)
    notes.push_back("IL: vstup je přebuzen, vzorky jsou oříznuty");
  if (calibration_.IsNominal())
    notes.push_back("nekalibrováno: platí jmenovité hodnoty (plný rozsah 1.1 V, bočník 100 Ω)");
  if (calibration_.capture_volume && link_.capture_volume) {
    const std::optional<int> now = link_.capture_volume();
    if (now && *now != *calibration_.capture_volume)
      notes.push_back("kalibrace byla provedena při jiné hlasitosti záznamu (" +
                      std::to_string(*calibration_.capture_volume * 100 / 65535) + " %, nyní " +
                      std::to_string(*now * 100 / 65535) + " %)");
  }
  if (!store_.Problem().empty()) notes.push_back(store_.Problem());
  if (!log_error_.empty()) notes.push_back("záznam měření ukončen: " + log_error_);
  return notes;
}

std::string Lab::SetGenerator(double frequency_hz, std::optional<double> peak_v) {
  if (!(frequency_hz >= 10 && frequency_hz <= 20000))
    return "frekvence generátoru musí být od 10 Hz do 20 kHz";
  GeneratorSetting g = link_.generator();
  g.frequency_hz = static_cast<int>(std::lround(frequency_hz));
  if (peak_v) {
    if (!(*peak_v >= 0 && *peak_v <= kNominalFullScaleV))
      return "amplituda generátoru musí být od 0 do 1.1 V";
    g.amplitude = static_cast<int>(std::lround(*peak_v / kNominalFullScaleV * kFullScaleCounts));
  }
  link_.set_generator(g);
  Refresh();
  return {};
}

std::string Lab::Calibrated(std::string error) {
  if (!error.empty()) return error;
  calibration_.source = "user";
  if (link_.capture_volume) calibration_.capture_volume = link_.capture_volume();
  if (std::string e = store_.Save(card_, calibration_); !e.empty())
    std::fprintf(stderr, "osciloskop: %s\n", e.c_str());
  Refresh();
  return {};
}

std::string Lab::CalibrateUr(double true_rms_v) {
  if (!latest_) return "zatím není co kalibrovat: vstup ještě nic nedal";
  return Calibrated(
      CalibrateFullScale(calibration_.ur_full_scale_v, latest_->ur.rms_ac, true_rms_v));
}

std::string Lab::CalibrateIl(double true_rms_v) {
  if (!latest_) return "zatím není co kalibrovat: vstup ještě nic nedal";
  // The IL input's own volts: the current times the shunt.
  const double measured_v = latest_->il.rms_ac * calibration_.shunt_ohm;
  return Calibrated(CalibrateFullScale(calibration_.il_full_scale_v, measured_v, true_rms_v));
}

std::string Lab::CalibrateClockTo(double true_hz) {
  if (!latest_) return "zatím není co kalibrovat: vstup ještě nic nedal";
  const std::optional<double> f =
      latest_->ur.frequency ? latest_->ur.frequency : latest_->il.frequency;
  return Calibrated(CalibrateClock(calibration_.clock_ppm, f.value_or(0), true_hz));
}

std::string Lab::CalibrateSkewNow() {
  if (!latest_ || !latest_->pair.phase_deg) return "na obou vstupech musí být týž tón";
  const double f = latest_->ur.frequency.value_or(latest_->il.frequency.value_or(0));
  return Calibrated(CalibrateSkew(calibration_.skew_s, *latest_->pair.phase_deg, f));
}

std::string Lab::SetShuntOhm(double ohm) {
  return Calibrated(SetShunt(calibration_.shunt_ohm, ohm));
}

std::string Lab::ResetCalibration() {
  calibration_ = Calibration{};
  return Calibrated({});
}

std::string Lab::StartLog(const std::string& path) {
  log_error_.clear();
  return log_.Open(path);
}

void Lab::StopLog() { log_.Close(); }

void Lab::ShowWindow() {
  if (!window_) {
    window_ = std::make_unique<MeasuringWindow>(*this);
    response_view_ = new ResponseView(*this);
    window_->AddView(response_view_, QStringLiteral("Frekvenční charakteristika"));
  }
  window_->ShowState();
  if (window_->isVisible()) {
    window_->raise();
    return;
  }
  // The window that has (or is about to get) the focus keeps it, and with it
  // its look: some platforms activate every window shown, whatever it asks.
  QWidget* keep = QApplication::activeWindow();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (!keep && w != window_.get() && w->isVisible() && w->windowType() == Qt::Window) keep = w;
  window_->show();
  window_->raise();
  QCoreApplication::processEvents();
  if (keep) keep->activateWindow();
}

void Lab::HideWindow() {
  if (window_) window_->hide();
}

bool Lab::WindowShown() const { return window_ && window_->isVisible(); }

std::string Lab::SaveView(const std::string& path, int width, int height) {
  if (EndsWith(path, ".csv")) {
    const std::string csv = views_.Csv(views_.view);
    if (views_.view == View::kReadouts)
      return "save-view: the readouts are logged by log-measurements";
    if (csv.empty()) return "save-view: no data yet (the input has given no quarter second)";
    return SaveText(path, csv);
  }
  if (!WindowShown()) return "the measuring window is not open ('show measurements' first)";
  return window_->SaveView(path, width > 0 ? QSize(width, height) : QSize());
}

std::string Lab::WindowPicture(QByteArray& png) {
  if (!WindowShown()) return "the measuring window is not open ('show measurements' first)";
  return WidgetPng(*window_, png);
}

std::string Lab::SaveWindowPicture(const std::string& path) {
  QByteArray bytes;
  if (std::string e = WindowPicture(bytes); !e.empty()) return e;
  return SaveText(path, bytes.toStdString());
}

std::string Lab::StartSweep(const SweepSettings& settings) {
  if (!(settings.start_hz >= 10 && settings.stop_hz <= 20000 &&
        settings.start_hz < settings.stop_hz))
    return "charakteristika: počáteční frekvence musí být pod koncovou, od 10 Hz do 20 kHz";
  if (!(settings.points >= 2 && settings.points <= 500))
    return "charakteristika: počet bodů musí být od 2 do 500";
  if (!(settings.peak_v > 0 && settings.peak_v <= kNominalFullScaleV))
    return "charakteristika: amplituda musí být nad 0 a nejvýše 1.1 V";
  std::string e =
      sweep_.Start(settings, calibration_, static_cast<std::int64_t>(collector_.Frames()));
  Refresh();
  return e;
}

void Lab::StopSweep() {
  sweep_.Stop();
  Refresh();
}

void Lab::KeepSweep() {
  if (!sweep_.Points().empty()) kept_ = CurrentSweep();
  Refresh();
}

SweepResult Lab::CurrentSweep() const { return {sweep_.Settings().quantity, sweep_.Points()}; }

std::string Lab::Finished() const {
  return sweep_.Measured() == sweep_.Planned() ? std::string() : "response: " + sweep_.Problem();
}

const std::vector<std::string>& Lab::Commands() {
  static const std::vector<std::string> names = {"show",
                                                 "hide",
                                                 "generator",
                                                 "calibrate",
                                                 "shunt",
                                                 "log-measurements",
                                                 "response",
                                                 "save-view",
                                                 "view",
                                                 "spectrum-window",
                                                 "spectrum-average",
                                                 "cursor",
                                                 "xy-persistence"};
  return names;
}

std::string Lab::Reset() {
  if (sweep_.Running()) sweep_.Stop("*RST");
  link_.set_generator(startup_generator_);
  Refresh();
  return {};
}

std::string Lab::StartRemote(const std::string& address) {
  StopRemote();
  remote_address_ = address;
  auto server = std::make_unique<RemoteServer>(std::make_unique<LabCommands>(*this), [this] {
    if (window_) window_->ShowState();
  });
  remote_problem_ = server->Listen(address);
  if (!remote_problem_.empty()) {
    Refresh();
    return remote_problem_;
  }
  remote_ = std::move(server);
  remote_address_ = remote_->Address();
  Refresh();
  return {};
}

void Lab::StopRemote() {
  remote_.reset();
  if (window_) window_->ShowState();
}

bool Lab::Handles(const std::vector<std::string>& w) {
  if (w[0] == "screenshot") return w.size() == 3 && w[2] == "measurements";
  return std::find(Commands().begin(), Commands().end(), w[0]) != Commands().end();
}

std::string Lab::Check(const std::vector<std::string>& w) {
  const std::string& c = w[0];
  double x = 0;
  if (c == "show") {
    if (w.size() != 2 || (w[1] != "measurements" && w[1] != "response"))
      return "usage: show measurements|response";
  } else if (c == "hide") {
    if (w.size() != 2 || w[1] != "measurements") return "usage: hide measurements";
  } else if (c == "response") {
    if (w.size() != 5 && w.size() != 6)
      return "usage: response START STOP POINTS transfer|impedance [PEAK_VOLTS]";
    double a = 0, b = 0;
    if (!ParseNumber(w[1], a) || !ParseNumber(w[2], b) || a != std::floor(a) ||
        b != std::floor(b) || a < 10 || b > 20000 || a >= b)
      return "response: START and STOP are whole hertz from 10 to 20000, START below STOP";
    if (!ParseNumber(w[3], x) || x != std::floor(x) || x < 2 || x > 500)
      return "response: '" + w[3] + "' is not a number of points from 2 to 500";
    if (w[4] != "transfer" && w[4] != "impedance")
      return "response: the quantity is 'transfer' or 'impedance', not '" + w[4] + "'";
    if (w.size() == 6 && (!ParseNumber(w[5], x) || x <= 0 || x > kNominalFullScaleV))
      return "response: '" + w[5] + "' is not a peak above 0 and up to 1.1 V";
  } else if (c == "generator") {
    if (w.size() != 2 && w.size() != 3) return "usage: generator HZ [PEAK_VOLTS]";
    if (!ParseNumber(w[1], x) || x < 10 || x > 20000)
      return "generator: '" + w[1] + "' is not a frequency from 10 to 20000 Hz";
    if (w.size() == 3 && (!ParseNumber(w[2], x) || x < 0 || x > kNominalFullScaleV))
      return "generator: '" + w[2] + "' is not a peak from 0 to 1.1 V";
  } else if (c == "calibrate") {
    if (w.size() == 2 && w[1] == "skew") return {};
    if (w.size() != 3 || (w[1] != "ur" && w[1] != "il" && w[1] != "clock"))
      return "usage: calibrate ur|il VOLTS_RMS, calibrate clock HZ or calibrate skew";
    if (!ParseNumber(w[2], x) || x <= 0)
      return "calibrate: '" + w[2] + "' is not a positive number";
  } else if (c == "shunt") {
    if (w.size() != 2) return "usage: shunt OHMS";
    if (!ParseNumber(w[1], x) || x < 1e-3 || x > 1e9)
      return "shunt: '" + w[1] + "' is not a resistance from 0.001 to 1e9 ohms";
  } else if (c == "log-measurements") {
    if (w.size() != 2) return "usage: log-measurements FILE.csv|off";
    if (w[1] != "off" && !EndsWith(w[1], ".csv"))
      return "log-measurements: the file name must end in .csv";
  } else if (c == "screenshot") {
    if (!EndsWith(w[1], ".png")) return "screenshot: the file name must end in .png";
  } else if (c == "save-view") {
    if (w.size() == 3 && EndsWith(w[1], ".png")) {
      int width = 0, height = 0;
      char x = 0;
      if (std::sscanf(w[2].c_str(), "%dx%d%c", &width, &height, &x) != 2 || width < 100 ||
          height < 100 || width > 4000 || height > 4000)
        return "save-view: '" + w[2] + "' is not a size from 100x100 to 4000x4000";
    } else if (w.size() != 2 || (!EndsWith(w[1], ".png") && !EndsWith(w[1], ".csv"))) {
      return "usage: save-view FILE.png [WIDTHxHEIGHT] or save-view FILE.csv";
    }
  } else if (ViewState::Handles(w)) {
    return ViewState::Check(w);
  }
  return {};
}

std::string Lab::Run(const std::vector<std::string>& w) {
  if (std::string e = Check(w); !e.empty()) return e;
  const std::string& c = w[0];
  double x = 0, y = 0;
  if (c == "show") {
    ShowWindow();
    if (w[1] == "response") window_->Views()->setCurrentWidget(response_view_);
  } else if (c == "response") {
    SweepSettings s;
    ParseNumber(w[1], x);
    s.start_hz = static_cast<int>(x);
    ParseNumber(w[2], x);
    s.stop_hz = static_cast<int>(x);
    ParseNumber(w[3], x);
    s.points = static_cast<int>(x);
    s.quantity = w[4] == "transfer" ? analysis::ResponseQuantity::kTransfer
                                    : analysis::ResponseQuantity::kImpedance;
    if (w.size() == 6 && ParseNumber(w[5], y)) s.peak_v = y;
    return StartSweep(s);
  } else if (c == "save-view" && WindowShown() &&
             window_->Views()->currentWidget() == response_view_) {
    return EndsWith(w[1], ".csv") ? response_view_->SaveCsv(w[1]) : response_view_->SavePng(w[1]);
  } else if (c == "hide") {
    HideWindow();
  } else if (c == "generator") {
    ParseNumber(w[1], x);
    std::optional<double> peak;
    if (w.size() == 3 && ParseNumber(w[2], y)) peak = y;
    return SetGenerator(x, peak);
  } else if (c == "calibrate") {
    if (w[1] == "skew") return CalibrateSkewNow();
    ParseNumber(w[2], x);
    if (w[1] == "ur") return CalibrateUr(x);
    if (w[1] == "il") return CalibrateIl(x);
    return CalibrateClockTo(x);
  } else if (c == "shunt") {
    ParseNumber(w[1], x);
    return SetShuntOhm(x);
  } else if (c == "log-measurements") {
    if (w[1] == "off") {
      StopLog();
      return {};
    }
    return StartLog(w[1]);
  } else if (c == "screenshot") {
    return SaveWindowPicture(w[1]);
  } else if (c == "save-view") {
    int width = 0, height = 0;
    if (w.size() == 3) std::sscanf(w[2].c_str(), "%dx%d", &width, &height);
    return SaveView(w[1], width, height);
  } else if (ViewState::Handles(w)) {
    std::string e = views_.Run(w);
    Refresh();
    return e;
  }
  return {};
}

void Lab::DumpResponse(platform::JsonWriter& w) const {
  if (sweep_.Planned() == 0) {
    w.Null("response");
    return;
  }
  const SweepResult now = CurrentSweep();
  const bool transfer = now.quantity == analysis::ResponseQuantity::kTransfer;
  w.BeginObject("response")
      .Value("quantity", transfer ? "transfer" : "impedance")
      .Value("unit", transfer ? "V/V" : "ohm")
      .Value("running", sweep_.Running())
      .Value("planned", sweep_.Planned())
      .Value("seconds", sweep_.Seconds());
  w.BeginArray("points");
  for (const analysis::ResponsePoint& p : now.points)
    w.BeginObject()
        .Value("frequency", p.frequency_hz)
        .Value("magnitude", p.magnitude)
        .Value("phase", p.phase_deg)
        .Value("ur_rms", p.ur_rms)
        .Value("il_rms", p.il_rms)
        .EndObject();
  w.EndArray();
  const analysis::ResponseFeatures f = analysis::FindFeatures(now.points);
  const auto found = [&w](const char* key, std::optional<double> v) {
    if (v) w.Value(key, *v);
  };
  found("resonance", f.resonance_hz);
  found("resonance_magnitude", f.resonance_magnitude);
  found("corner_low", f.corner_low_hz);
  found("corner_high", f.corner_high_hz);
  found("q", f.q);
  if (!sweep_.Problem().empty()) w.Value("problem", sweep_.Problem());
  w.EndObject();
}

void Lab::Dump(platform::JsonWriter& w) const {
  const auto value = [&w](const char* key, std::optional<double> v) {
    if (v && std::isfinite(*v))
      w.Value(key, *v);
    else
      w.Null(key);
  };
  w.BeginObject("measurements");
  w.Value("window", WindowShown());
  w.BeginObject("calibration")
      .Value("ur_full_scale", calibration_.ur_full_scale_v)
      .Value("il_full_scale", calibration_.il_full_scale_v)
      .Value("shunt", calibration_.shunt_ohm)
      .Value("clock_ppm", calibration_.clock_ppm)
      .Value("skew", calibration_.skew_s)
      .Value("source", calibration_.source)
      .EndObject();
  w.Value("blocks", static_cast<std::int64_t>(blocks_));
  value("time", latest_ ? std::optional<double>(latest_time_s_) : std::nullopt);
  const GeneratorSetting g = link_.generator();
  w.BeginObject("generator")
      .Value("frequency", g.frequency_hz)
      .Value("peak", g.amplitude / kFullScaleCounts * kNominalFullScaleV)
      .EndObject();
  struct Channel {
    const char* key;
    const char* unit;
    analysis::ChannelReadings analysis::Readings::*readings;
  };
  for (const Channel& ch :
       {Channel{"ur", "V", &analysis::Readings::ur}, Channel{"il", "A", &analysis::Readings::il}}) {
    w.BeginObject(ch.key);
    w.Value("unit", ch.unit);
    const analysis::ChannelReadings* c = latest_ ? &((*latest_).*ch.readings) : nullptr;
    for (const ChannelQuantity& q : ChannelQuantities()) value(q.key, c ? q.get(*c) : std::nullopt);
    w.Value("clipped", c ? c->clipped : false);
    w.EndObject();
  }
  for (const PairQuantity& q : PairQuantities())
    value(q.key, latest_ ? latest_->pair.*q.member : std::nullopt);
  if (log_.IsOpen())
    w.Value("log", log_.Path());
  else
    w.Null("log");
  w.List("notes", Notes());
  if (remote_) {
    w.BeginObject("remote").Value("address", remote_->Address());
    w.List("clients", remote_->Clients());
    w.EndObject();
  } else {
    w.Null("remote");
  }
  DumpResponse(w);
  views_.Dump(w);
  w.EndObject();
}

}  // namespace lab
