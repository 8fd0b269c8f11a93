// SPDX-License-Identifier: GPL-3.0-or-later
// The stored form of the main window, row by row in its stored order.
#include "instrument/Form1.h"

namespace osciloskop {

using platform::ControlClass;
using platform::ControlDesc;
using platform::FormDesc;
using platform::RGB;

namespace {

constexpr platform::TColor kBlack = platform::clBlack;
constexpr platform::TColor kWhite = platform::clWhite;
constexpr platform::TColor kYellow = platform::clYellow;
constexpr platform::TColor kAqua = platform::clAqua;
constexpr platform::TColor kRed = platform::clRed;
constexpr platform::TColor kTeal = platform::clTeal;
constexpr platform::TColor kFuchsia = platform::clFuchsia;

const std::vector<std::string_view> kRangeItems = {
    "automaticky", "      50 V",  "      20 V",  "      10 V",   "        5 V",
    "        2 V", "        1 V", "    500 mV",  "    200 mV",   "    100 mV",
    "      50 mV", "      20 mV", "      10 mV"};

const FormDesc kForm1 = {
    .Name = "Form1",
    .Caption = "osciloskop JEN PRO MĚŘENÍ NA DIGITÁLNÍCH OBVODECH !!! vstup LINE IN, frekvence 600 "
               "Hz, výstup na R (voltmetr) ",
    .Color = kBlack,
    .Left = 0, .Top = 0, .Width = 800, .Height = 525,
    .FontPixelSize = 11,
    .Menu = "MainMenu1",
    .Events = {{"OnCreate", "FormCreate"}, {"OnClose", "FormClose"}, {"OnResize", "FormResize"}},
    .Controls = {
        // Top row.
        {.Name = "ComboBox4", .Class = ControlClass::ComboBox, .Left = 0, .Top = 0, .Width = 82,
         .Height = 21, .Text = "od kanálu R", .Items = {"automaticky", "od kanálu L", "od kanálu R"},
         .FontColor = kBlack, .Editable = true, .Events = {{"OnClick", "ComboBox4Click"}}},
        {.Name = "RadioButton1", .Class = ControlClass::RadioButton, .Left = 84, .Top = 2,
         .Width = 71, .Height = 19, .Text = "periodické", .Color = kTeal, .FontColor = kWhite,
         .Hint = "provádí periodické zobrazování průběhu", .Checked = true,
         .Events = {{"OnClick", "RadioButton1Click"}}},
        {.Name = "RadioButton2", .Class = ControlClass::RadioButton, .Left = 157, .Top = 2,
         .Width = 80, .Height = 19, .Text = "jednorázové", .Color = kTeal, .FontColor = kWhite,
         .Hint = "provede po stisku levého tlačítka myši  VŽDY  jednorázové zobrazení",
         .Events = {{"OnClick", "RadioButton2Click"}}},
        {.Name = "Edit4", .Class = ControlClass::Edit, .Left = 237, .Top = 0, .Width = 56,
         .Height = 21, .Text = "465 mA", .Color = kYellow, .FontColor = kBlack,
         .Hint = "velikost napětí v prvním měřicím kanálu", .ReadOnly = true},
        {.Name = "ComboBox2", .Class = ControlClass::ComboBox, .Left = 294, .Top = 0, .Width = 81,
         .Height = 21, .Items = kRangeItems, .Enabled = false, .Color = kYellow,
         .Hint = "nastavení rozsahu na ose napětí", .DropDownCount = 15,
         .Events = {{"OnClick", "ComboBox2Click"}}},
        {.Name = "Edit12", .Class = ControlClass::Edit, .Left = 374, .Top = 0, .Width = 62,
         .Height = 21, .Text = "12760 Hz", .Color = kYellow, .FontColor = kBlack,
         .Hint = "frekvence napětí v prvním měřicím kanálu", .ReadOnly = true},
        {.Name = "Edit1", .Class = ControlClass::Edit, .Left = 435, .Top = 0, .Width = 67,
         .Height = 21, .Text = "532.2 mV", .Color = kAqua},
        {.Name = "ComboBox9", .Class = ControlClass::ComboBox, .Left = 502, .Top = 0, .Width = 81,
         .Height = 21, .Items = kRangeItems, .Enabled = false, .Color = kAqua,
         .Hint = "nastavení rozsahu na ose napětí", .DropDownCount = 15,
         .Events = {{"OnClick", "ComboBox9Click"}, {"OnChange", "ComboBox2Click"}}},
        {.Name = "Edit8", .Class = ControlClass::Edit, .Left = 583, .Top = 0, .Width = 62,
         .Height = 21, .Text = "12760 Hz", .Color = kAqua},
        {.Name = "ComboBox1", .Class = ControlClass::ComboBox, .Left = 644, .Top = 0, .Width = 83,
         .Height = 21,
         .Items = {"automatická", "   100 msec", "    50 msec", "    20 msec", "    10 msec",
                   "      5 msec", "      2 msec", "      1 msec", " generátoru"},
         .Hint = "nastavení časové osy", .DropDownCount = 9,
         .Events = {{"OnClick", "ComboBox1Click"}, {"OnChange", "ComboBox1Click"}}},
        {.Name = "Edit17", .Class = ControlClass::Edit, .Left = 727, .Top = 0, .Width = 68,
         .Height = 21, .Text = "          jas", .Enabled = false, .Color = kRed,
         .Hint = "nastavuje jas rastru"},
        {.Name = "Button2", .Class = ControlClass::Button, .Left = 730, .Top = 2, .Width = 61,
         .Height = 18, .Text = "optimum", .Hint = "vytvoří nebo odstraní svítící rastr na obrazovce",
         .Default = true, .Events = {{"OnClick", "Button2Click"}}},
        {.Name = "UpDown2", .Class = ControlClass::UpDown, .Left = 778, .Top = 2, .Width = 19,
         .Height = 18, .Visible = false, .Enabled = false, .Hint = "nastavuje jas rastru", .Min = 0,
         .Max = 50, .Position = 15, .SmallChange = 5, .Events = {{"OnChanging", "UpDown2Changing"}}},
        {.Name = "Panel3", .Class = ControlClass::Panel, .Left = 806, .Top = 0, .Width = 217,
         .Height = 22, .Bevel = false},
        {.Name = "Edit11", .Class = ControlClass::Edit, .Parent = "Panel3", .Left = 4, .Top = 0,
         .Width = 209, .Height = 21, .Text = "Edit11"},

        // Left margin: trigger slider and the axis unit labels.
        {.Name = "TrackBar1", .Class = ControlClass::TrackBar, .Left = 32, .Top = 48, .Width = 20,
         .Height = 440, .Visible = false, .Hint = "nastavuje spouštěcí úroveň", .Min = -220,
         .Max = 220, .Position = 0, .SmallChange = 5, .LargeChange = 20,
         .Events = {{"OnChange", "TrackBar1Change"}}},
        {.Name = "Edit18", .Class = ControlClass::Edit, .Left = 0, .Top = 37, .Width = 27,
         .Height = 13, .Text = "+mV", .Color = kBlack, .FontColor = kAqua, .FontPixelSize = 11,
         .ReadOnly = true, .Bevel = false},
        {.Name = "Edit19", .Class = ControlClass::Edit, .Left = 0, .Top = 475, .Width = 27,
         .Height = 13, .Text = "-mV", .Color = kBlack, .FontColor = kAqua, .FontPixelSize = 11,
         .ReadOnly = true, .Bevel = false},
        {.Name = "Edit2", .Class = ControlClass::Edit, .Left = 32, .Top = 37, .Width = 27,
         .Height = 13, .Text = "mA", .Color = kBlack, .FontColor = kYellow, .FontPixelSize = 5,
         .ReadOnly = true, .Bevel = false},
        {.Name = "Edit5", .Class = ControlClass::Edit, .Left = 32, .Top = 475, .Width = 27,
         .Height = 13, .Text = "mA", .Color = kBlack, .FontColor = kYellow, .FontPixelSize = 5,
         .ReadOnly = true, .Bevel = false},

        // Warning panels.
        {.Name = "Panel1", .Class = ControlClass::Panel, .Left = 76, .Top = 596, .Width = 801,
         .Height = 17, .Text = "chybně stisknuté tlačítko L+R, ihned jej vymáčkněte",
         .Visible = false, .Color = kRed, .FontColor = kWhite},
        {.Name = "Panel2", .Class = ControlClass::Panel, .Left = 76, .Top = 256, .Width = 417,
         .Height = 25, .Text = "překročen nastavený rozsah - snižte měřenou veličinu",
         .Visible = false, .Color = kRed, .FontColor = kWhite},
        {.Name = "Panel14", .Class = ControlClass::Panel, .Left = 72, .Top = 172, .Width = 629,
         .Height = 21, .Text = "překročena mez zobrazitelnosti - snižte frekvenci",
         .Visible = false, .Color = kRed, .FontColor = kWhite},
        {.Name = "Panel6", .Class = ControlClass::Panel, .Left = 232, .Top = 328, .Width = 297,
         .Height = 41, .Text = "běží jiná aplikace využívající zvukovou kartu", .Visible = false,
         .Color = kFuchsia, .Events = {{"OnClick", "Panel6Click"}}},

        // Hidden range lists.
        {.Name = "ComboBox3", .Class = ControlClass::ComboBox, .Left = 502, .Top = 24, .Width = 81,
         .Height = 21,
         .Items = {"automaticky", "      50 V", "      20 V", "      10 V", "        5 V",
                   "        2 V", "        1 V", "     500 mV", "     200 mV", "     100 mV",
                   "       50 mV", "       20 mV", "       10 mV", "      vypnuto"},
         .Visible = false, .Color = kAqua, .Events = {{"OnClick", "ComboBox3Click"}}},
        {.Name = "ComboBox5", .Class = ControlClass::ComboBox, .Left = 294, .Top = 24, .Width = 81,
         .Height = 21,
         .Items = {"automaticky", "      50 V", "      20 V", "      10 V", "        5 V",
                   "        2 V", "        1 V", "     500 mV", "     200 mV", "     100 mV",
                   "       50 mV", "      vypnuto"},
         .Visible = false, .Color = kYellow, .Events = {{"OnClick", "ComboBox5Click"}}},
        {.Name = "ComboBox6", .Class = ControlClass::ComboBox, .Left = 583, .Top = 24, .Width = 81,
         .Height = 21,
         .Items = {"automaticky", "      5 A", "      2 A", "      1 A", "    500 mA",
                   "    200 mA", "    100 mA", "      50 mA", "      20 mA", "      10 mA",
                   "  vypnuto"},
         .Visible = false, .Color = kAqua, .Events = {{"OnClick", "ComboBox6Click"}}},

        // Calibration walk-through.
        {.Name = "Panel4", .Class = ControlClass::Panel, .Left = 0, .Top = 24, .Width = 800,
         .Height = 145, .Visible = false, .Color = kBlack, .Events = {{"OnClick", "Panel4Click"}}},
        {.Name = "Panel7", .Class = ControlClass::Panel, .Parent = "Panel4", .Left = 0, .Top = 0,
         .Width = 801, .Height = 17,
         .Text = "1. cejchování generátoru-voltmetr připojen mezi černou  a červenou zdířkou, "
                 "přepnut na měření střídavého napětí a rozsah cca 2 V",
         .Color = kTeal, .FontColor = kWhite},
        {.Name = "ScrollBar2", .Class = ControlClass::ScrollBar, .Parent = "Panel4", .Left = 0,
         .Top = 16, .Width = 801, .Height = 16, .Min = 0, .Max = 100, .Position = 0},
        {.Name = "Panel8", .Class = ControlClass::Panel, .Parent = "Panel4", .Left = 0, .Top = 32,
         .Width = 801, .Height = 17,
         .Text = "na generátoru nastavena max. amplituda a tímto I jezdcem  posouváme tak dlouho, "
                 "až souhlasí údaj v okénku gnerátoru s údajem voltmetru",
         .Color = kTeal, .FontColor = kWhite},
        {.Name = "Panel5", .Class = ControlClass::Panel, .Parent = "Panel4", .Left = 0, .Top = 56,
         .Width = 801, .Height = 17,
         .Text = "2. výstup generátoru (červená zdířka) propojen na pravý vstup (modrá zdířka) i s "
                 "cejchovním voltmetrem přepnutým opět na rozsah cca 2 V  ",
         .Color = kAqua},
        {.Name = "ScrollBar1", .Class = ControlClass::ScrollBar, .Parent = "Panel4", .Left = -4,
         .Top = 72, .Width = 681, .Height = 16, .Min = 10, .Max = 100, .Position = 100,
         .Events = {{"OnChange", "ScrollBar1Change"}}},
        {.Name = "Edit7", .Class = ControlClass::Edit, .Parent = "Panel4", .Left = 680, .Top = 72,
         .Width = 121, .Height = 21, .Text = "rozlišení ="},
        {.Name = "Panel9", .Class = ControlClass::Panel, .Parent = "Panel4", .Left = 0, .Top = 88,
         .Width = 801, .Height = 17,
         .Text = "jezdcem nahoře opět posouváme tak dlouho, až souhlasí údaj v modrém okénku "
                 "(napětí UR) s údajem voltmetru",
         .Color = kAqua},
        {.Name = "Panel11", .Class = ControlClass::Panel, .Parent = "Panel4", .Left = -8,
         .Top = 108, .Width = 801, .Height = 17,
         .Text = "vložením kurzoru na šipky na obou koncích dráhy všech jezdců a stiskem levého "
                 "tlačítka myši dojde k nejmenšímu posunu jezdce o 1 krok"},
        {.Name = "Panel12", .Class = ControlClass::Panel, .Parent = "Panel4", .Left = -8,
         .Top = 124, .Width = 545, .Height = 17,
         .Text = "po nastavení všech jezdců stiskněte ( konec testu )", .Bevel = false},
        {.Name = "Button1", .Class = ControlClass::Button, .Parent = "Panel4", .Left = 536,
         .Top = 124, .Width = 257, .Height = 17, .Text = "konec testu", .FontColor = kRed,
         .Events = {{"OnClick", "Button1Click"}}},

        // Generator strip, covered by the trace-shift controls.
        {.Name = "Panel13", .Class = ControlClass::Panel, .Left = 0, .Top = 498, .Width = 800,
         .Height = 29, .Text = "< amplituda frekvence >"},
        {.Name = "ScrollBar4", .Class = ControlClass::ScrollBar, .Parent = "Panel13", .Left = 164,
         .Top = 5, .Width = 223, .Height = 20, .Hint = "nastavení amplitudy", .Min = 0, .Max = 100,
         .Position = 0, .Events = {{"OnChange", "ScrollBar4Change"}}},
        {.Name = "ScrollBar5", .Class = ControlClass::ScrollBar, .Parent = "Panel13", .Left = 388,
         .Top = 5, .Width = 223, .Height = 20, .Hint = "nastavení frekvence", .Min = 0, .Max = 100,
         .Position = 0, .Events = {{"OnChange", "ScrollBar5Change"}}},
        {.Name = "Edit13", .Class = ControlClass::Edit, .Parent = "Panel13", .Left = 104, .Top = 4,
         .Width = 57, .Height = 21, .Text = " 999 mV"},
        {.Name = "Edit14", .Class = ControlClass::Edit, .Parent = "Panel13", .Left = 612, .Top = 4,
         .Width = 61, .Height = 21, .Text = " 500 Hz"},
        {.Name = "ComboBox7", .Class = ControlClass::ComboBox, .Parent = "Panel13", .Left = 4,
         .Top = 4, .Width = 101, .Height = 21,
         .Items = {" 0 až 1 V", " 0 až 500 mV", " 0 až 200 mV", " 0 až 100 mV", " 0 až 50 mV",
                   " 0 až 20 mV", " 0 až 10 mV ", "  vypnuto"},
         .Events = {{"OnClick", "ComboBox7Click"}}},
        {.Name = "ComboBox8", .Class = ControlClass::ComboBox, .Parent = "Panel13", .Left = 668,
         .Top = 4, .Width = 121, .Height = 21,
         .Items = {"20 Hz až 100 Hz", "100 Hz až 1 kHz", "1 kHz až 20 kHz", "10 Hz až 20 kHz"},
         .Events = {{"OnClick", "ComboBox8Click"}}},
        {.Name = "Panel10", .Class = ControlClass::Panel, .Parent = "Panel13", .Left = 0, .Top = 2,
         .Width = 281, .Height = 25, .Text = "časový posun zobrazených signálů vůči sobě"},
        {.Name = "ScrollBar3", .Class = ControlClass::ScrollBar, .Parent = "Panel13", .Left = 279,
         .Top = 2, .Width = 521, .Height = 25, .Min = 10, .Max = 200, .Position = 50,
         .Events = {{"OnChange", "ScrollBar3Change"}}},

        // Main menu.
        {.Name = "MainMenu1", .Class = ControlClass::MainMenu},
        {.Name = "spoutn1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = "   spouštění"},
        {.Name = "test2", .Class = ControlClass::MenuItem, .Parent = "MainMenu1", .Text = "test",
         .Enabled = false, .Events = {{"OnClick", "test2Click"}}},
        {.Name = "volbazobrazen1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = "     volba zobrazení"},
        {.Name = "dosebe1", .Class = ControlClass::MenuItem, .Parent = "volbazobrazen1",
         .Text = "do sebe"},
        {.Name = "nadsebou1", .Class = ControlClass::MenuItem, .Parent = "volbazobrazen1",
         .Text = "nad sebou", .Enabled = false},
        {.Name = "file1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1", .Text = "mazání",
         .Events = {{"OnClick", "file1Click"}}},
        {.Name = "mickanl1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = "proud IL"},
        {.Name = "volbarozsahu1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = "volba rozsahu"},
        {.Name = "frekvence1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = " frekvence"},
        {.Name = "naptR1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = "napětí UR"},
        {.Name = "volbarozsahu2", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = "volba rozsahu"},
        {.Name = "frekvence2", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = " frekvence"},
        {.Name = "asovzkladna1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = " časová &osa"},
        {.Name = "mixer1", .Class = ControlClass::MenuItem, .Parent = "MainMenu1",
         .Text = "mixážní pult", .Events = {{"OnClick", "mixer1Click"}}},
    }};

}  // namespace

const FormDesc& TForm1::StoredForm() { return kForm1; }

}  // namespace osciloskop
