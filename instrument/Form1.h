// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window of the instrument and every routine it runs. The routines
// are parameterless methods working on the shared state; event handlers are
// named after their control and event.
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/state.h"
#include "platform/toolkit/application.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"

class TAudioIn;
class TAudioMixer;
class TAudioOut;

namespace osciloskop {

using platform::TButton;
using platform::TCloseAction;
using platform::TComboBox;
using platform::TEdit;
using platform::TMenuItem;
using platform::TObject;
using platform::TPanel;
using platform::TRadioButton;
using platform::TScrollBar;
using platform::TTrackBar;
using platform::TUpDown;

class TForm1 final : public platform::TForm, public InstrumentState {
 public:
  explicit TForm1(platform::TComponent* AOwner);
  ~TForm1() override;

  static const platform::FormDesc& StoredForm();

  // Controls of the stored form.
  TComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr, *ComboBox3 = nullptr,
            *ComboBox4 = nullptr, *ComboBox5 = nullptr, *ComboBox6 = nullptr,
            *ComboBox7 = nullptr, *ComboBox8 = nullptr, *ComboBox9 = nullptr;
  TRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr;
  TTrackBar* TrackBar1 = nullptr;
  TScrollBar *ScrollBar1 = nullptr, *ScrollBar2 = nullptr, *ScrollBar3 = nullptr,
             *ScrollBar4 = nullptr, *ScrollBar5 = nullptr;
  TUpDown* UpDown2 = nullptr;
  TEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr, *Edit7 = nullptr,
        *Edit8 = nullptr, *Edit11 = nullptr, *Edit12 = nullptr, *Edit13 = nullptr,
        *Edit14 = nullptr, *Edit17 = nullptr, *Edit18 = nullptr, *Edit19 = nullptr;
  TPanel *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr, *Panel4 = nullptr,
         *Panel6 = nullptr, *Panel10 = nullptr, *Panel13 = nullptr, *Panel14 = nullptr;
  TButton *Button1 = nullptr, *Button2 = nullptr;
  TMenuItem *test2 = nullptr, *file1 = nullptr, *mixer1 = nullptr;

  // Components.
  TAudioIn* AudioIn1 = nullptr;
  TAudioOut* AudioOut1 = nullptr;
  TAudioMixer* AudioMixer1 = nullptr;

  std::int32_t GenFrequency = 0;
  // Set while the amplitude range list is on "vypnuto".
  bool GeneratorSilenced = false;
  // The canvas generation right after the last graticule, and what it was
  // drawn with: drawn again on an unchanged canvas it would set no pixel.
  struct GraticuleMark {
    std::uint64_t generation = ~std::uint64_t{0};
    int width = 0, height = 0, grey = 0;
  } LastGraticule;
  // Set by RedrawScreen around ShowFrequencyR: the trigger search after it
  // rewrites EnvelopeR from this index on, so the positive envelope is built
  // there only where the lobe search reads it.
  std::int32_t EnvelopeRRewrittenFrom = kSampleArraySize;

  // Start-up and shutdown.
  void FormCreate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);

  // Acquisition and display cycle.
  void MyIdleEvent(TObject* Sender, bool& Done);
  bool AudioIn1BufferFilled(void* Buffer, std::int32_t& Size);
  void RadioButton1Click(TObject* Sender);
  void RadioButton2Click(TObject* Sender);
  void ComboBox1Click(TObject* Sender);
  void ComboBox4Click(TObject* Sender);
  void TrackBar1Change(TObject* Sender);
  void FindTriggerR();

  // Channel measurement and readouts.
  void MeasureChannelL();
  void MeasureChannelR();
  void ShowFrequencyL();
  void ShowFrequencyR();
  void FindFirstPositiveL();
  void FindFirstPositiveR();
  void FindFirstNegativeR();
  void MeasurePeriodL();
  void MeasurePeriodR();
  std::string FormatAmplitude(double x, const char* small_unit, const char* large_unit);

  // Range selection.
  void ComboBox2Click(TObject* Sender);
  void ComboBox9Click(TObject* Sender);
  void ComboBox3Click(TObject* Sender);
  void ComboBox5Click(TObject* Sender);
  void ComboBox6Click(TObject* Sender);
  void ApplyRangeL();
  void ApplyRangeR();

  // Screen, graticule and traces.
  void DrawGraticule();
  void RedrawScreen();

  // Time axis and sweep bands.
  void SelectSweepBandR();
  void DrawAxes();
  void DrawTimeAxis100ms();
  void DrawTimeAxis50ms();
  void DrawTimeAxis20ms();
  void DrawTimeAxis10ms();
  void DrawTimeAxis5ms();
  void DrawTimeAxis2ms();
  void DrawTimeAxis1ms();

  // Display commands.
  void file1Click(TObject* Sender);
  void ScrollBar3Change(TObject* Sender);
  void Button2Click(TObject* Sender);
  void FormResize(TObject* Sender);
  void UpDown2Changing(TObject* Sender, bool& AllowChange);

  // Sine generator.
  bool AudioOut1FillBuffer(void* Buffer, std::int32_t& Size);
  void AudioOut1Start(TObject* Sender);
  void ScrollBar4Change(TObject* Sender);
  void ComboBox7Click(TObject* Sender);
  void ScrollBar5Change(TObject* Sender);
  void ComboBox8Click(TObject* Sender);
  // The generator set from outside the window (the measuring instrument):
  // through the strip's sliders, so the strip shows the setting as far as
  // they can express it, and then exactly.
  void SetGenerator(std::int32_t frequency_hz, std::int32_t amplitude);

  // Calibration walk-through and auxiliary commands.
  void test2Click(TObject* Sender);
  void ScrollBar1Change(TObject* Sender);
  void Button1Click(TObject* Sender);
  void Panel4Click(TObject* Sender);
  void mixer1Click(TObject* Sender);
  void Panel6Click(TObject* Sender);

  void DumpState(platform::JsonWriter& w) const override;
  platform::CaptureView Capture() const override;
  std::vector<platform::ShownReadout> Readouts() const override;

 protected:
  platform::TNotifyEvent FindNotify(std::string_view method) override;
  std::function<void(TObject*, TCloseAction&)> FindCloseHandler(std::string_view method) override;
  std::function<void(TObject*, bool&)> FindChangingHandler(std::string_view method) override;
  void Loaded() override;

 private:
  // The standard window geometry, shared by start-up and "optimum".
  void ApplyStandardGeometry();
};

// The main window of this process.
extern TForm1* Form1;

}  // namespace osciloskop
