// SPDX-License-Identifier: GPL-3.0-or-later
#include "instrument/Form1.h"

#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>

#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "mixer/AudioMixer.h"

namespace osciloskop {

TForm1* Form1 = nullptr;

int nearest(double x) {
  // Beyond the integer range (or NaN) the nearest representable end is taken.
  const double r = std::nearbyint(x);
  if (!(r > -2147483648.0)) return std::numeric_limits<int>::min();
  if (r >= 2147483647.0) return std::numeric_limits<int>::max();
  return static_cast<int>(r);
}

TForm1::TForm1(platform::TComponent* AOwner) : TForm(AOwner) {}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

namespace {

template <class T>
void Bind(const TForm1& form, T*& field, const char* name) {
  field = form.Find<T>(name);
  if (!field) throw std::logic_error(std::string("stored form has no ") + name);
}

using Notify = void (TForm1::*)(TObject*);

const std::map<std::string_view, Notify>& NotifyMethods() {
  static const std::map<std::string_view, Notify> table = {
      {"FormCreate", &TForm1::FormCreate},
      {"FormResize", &TForm1::FormResize},
      {"RadioButton1Click", &TForm1::RadioButton1Click},
      {"RadioButton2Click", &TForm1::RadioButton2Click},
      {"ComboBox1Click", &TForm1::ComboBox1Click},
      {"ComboBox2Click", &TForm1::ComboBox2Click},
      {"ComboBox3Click", &TForm1::ComboBox3Click},
      {"ComboBox4Click", &TForm1::ComboBox4Click},
      {"ComboBox5Click", &TForm1::ComboBox5Click},
      {"ComboBox6Click", &TForm1::ComboBox6Click},
      {"ComboBox7Click", &TForm1::ComboBox7Click},
      {"ComboBox8Click", &TForm1::ComboBox8Click},
      {"ComboBox9Click", &TForm1::ComboBox9Click},
      {"TrackBar1Change", &TForm1::TrackBar1Change},
      {"ScrollBar1Change", &TForm1::ScrollBar1Change},
      {"ScrollBar3Change", &TForm1::ScrollBar3Change},
      {"ScrollBar4Change", &TForm1::ScrollBar4Change},
      {"ScrollBar5Change", &TForm1::ScrollBar5Change},
      {"Button1Click", &TForm1::Button1Click},
      {"Button2Click", &TForm1::Button2Click},
      {"Panel4Click", &TForm1::Panel4Click},
      {"Panel6Click", &TForm1::Panel6Click},
      {"test2Click", &TForm1::test2Click},
      {"file1Click", &TForm1::file1Click},
      {"mixer1Click", &TForm1::mixer1Click},
  };
  return table;
}

}  // namespace

platform::TNotifyEvent TForm1::FindNotify(std::string_view method) {
  auto it = NotifyMethods().find(method);
  if (it == NotifyMethods().end()) return {};
  Notify m = it->second;
  return [this, m](TObject* Sender) { (this->*m)(Sender); };
}

std::function<void(TObject*, TCloseAction&)> TForm1::FindCloseHandler(std::string_view method) {
  if (method != "FormClose") return {};
  return [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
}

std::function<void(TObject*, bool&)> TForm1::FindChangingHandler(std::string_view method) {
  if (method != "UpDown2Changing") return {};
  return [this](TObject* Sender, bool& AllowChange) { UpDown2Changing(Sender, AllowChange); };
}

void TForm1::Loaded() {
  Bind(*this, ComboBox1, "ComboBox1");
  Bind(*this, ComboBox2, "ComboBox2");
  Bind(*this, ComboBox3, "ComboBox3");
  Bind(*this, ComboBox4, "ComboBox4");
  Bind(*this, ComboBox5, "ComboBox5");
  Bind(*this, ComboBox6, "ComboBox6");
  Bind(*this, ComboBox7, "ComboBox7");
  Bind(*this, ComboBox8, "ComboBox8");
  Bind(*this, ComboBox9, "ComboBox9");
  Bind(*this, RadioButton1, "RadioButton1");
  Bind(*this, RadioButton2, "RadioButton2");
  Bind(*this, TrackBar1, "TrackBar1");
  Bind(*this, ScrollBar1, "ScrollBar1");
  Bind(*this, ScrollBar2, "ScrollBar2");
  Bind(*this, ScrollBar3, "ScrollBar3");
  Bind(*this, ScrollBar4, "ScrollBar4");
  Bind(*this, ScrollBar5, "ScrollBar5");
  Bind(*this, UpDown2, "UpDown2");
  Bind(*this, Edit1, "Edit1");
  Bind(*this, Edit2, "Edit2");
  Bind(*this, Edit4, "Edit4");
  Bind(*this, Edit5, "Edit5");
  Bind(*this, Edit7, "Edit7");
  Bind(*this, Edit8, "Edit8");
  Bind(*this, Edit11, "Edit11");
  Bind(*this, Edit12, "Edit12");
  Bind(*this, Edit13, "Edit13");
  Bind(*this, Edit14, "Edit14");
  Bind(*this, Edit17, "Edit17");
  Bind(*this, Edit18, "Edit18");
  Bind(*this, Edit19, "Edit19");
  Bind(*this, Panel1, "Panel1");
  Bind(*this, Panel2, "Panel2");
  Bind(*this, Panel3, "Panel3");
  Bind(*this, Panel4, "Panel4");
  Bind(*this, Panel6, "Panel6");
  Bind(*this, Panel10, "Panel10");
  Bind(*this, Panel13, "Panel13");
  Bind(*this, Panel14, "Panel14");
  Bind(*this, Button1, "Button1");
  Bind(*this, Button2, "Button2");
  Bind(*this, test2, "test2");
  Bind(*this, file1, "file1");
  Bind(*this, mixer1, "mixer1");

  // The streams with their stored properties, applied in the stored order.
  AudioIn1 = new TAudioIn(this);
  AudioIn1->SetName("AudioIn1");
  AudioIn1->SetBufferSize(44100);
  AudioIn1->SetFrameRate(44100);
  AudioIn1->SetStereo(true);
  AudioIn1->OnBufferFilled = [this](void* Buffer, std::int32_t& Size) {
    return AudioIn1BufferFilled(Buffer, Size);
  };

  AudioOut1 = new TAudioOut(this);
  AudioOut1->SetName("AudioOut1");
  AudioOut1->SetBufferSize(22000);
  AudioOut1->SetFrameRate(44100);
  AudioOut1->OnFillBuffer = [this](void* Buffer, std::int32_t& Size) {
    return AudioOut1FillBuffer(Buffer, Size);
  };
  AudioOut1->OnStart = [this](TObject* Sender) { AudioOut1Start(Sender); };

  // The mixer, with no event handlers assigned.
  AudioMixer1 = new TAudioMixer(this);
  AudioMixer1->SetName("AudioMixer1");

  // What the idle step reads and writes besides the controls and devices,
  // so that the loop can tell a step that changed nothing. The graticule
  // mark is left out: it only spares drawing the graticule where it already
  // is, so nothing on the screen depends on it.
  if (platform::Application) {
    platform::Application->WatchIdleMemory(static_cast<const InstrumentState*>(this),
                                           sizeof(InstrumentState));
    platform::Application->WatchIdleMemory(&GenFrequency, sizeof GenFrequency);
    platform::Application->WatchIdleMemory(&GeneratorSilenced, sizeof GeneratorSilenced);
    platform::Application->WatchIdleMemory(&EnvelopeRRewrittenFrom,
                                           sizeof EnvelopeRRewrittenFrom);
  }
}

}  // namespace osciloskop
