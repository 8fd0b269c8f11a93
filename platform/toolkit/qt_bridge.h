#pragma once
// Internal to the toolkit: the few Qt details its parts share.
#include <QWidget>
#include <cstdint>
#include <functional>

#include "platform/toolkit/graphics.h"

namespace platform {

class TForm;

QWidget* ClientWidgetOf(TForm* form);
void ApplyColors(QWidget* w, TColor background, TColor text);
void InstallClickFilter(QWidget* w, std::function<void()> on_click);
QColor ToQColor(TColor c);
// The steady clock in nanoseconds, as the message queue stamps arrivals.
std::int64_t SteadyNanos();

}  // namespace platform
