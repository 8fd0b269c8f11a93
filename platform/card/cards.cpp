// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/cards.h"

#include <memory>

#include "platform/base/platform_options.h"
#include "platform/card/alsa/alsa_card.h"
#include "platform/card/virtual/virtual_card.h"

namespace platform {

namespace {

struct CardKind {
  bool (*takes)(const std::string& value);
  // Makes the card for the value the one in use (a virtual card is always
  // there: ResetVirtualCard may replace it, so it is not held here).
  void (*choose)(const std::string& value);
  Card& (*card)();
  // Lets go of what choose made, once the card has finished.
  void (*release)();
};

bool IsVirtual(const std::string& v) { return v == "virtual"; }
void ChooseVirtual(const std::string&) {}
Card& Virtual() { return TheVirtualCard(); }
void ReleaseVirtual() {}

std::unique_ptr<AlsaCard>& AlsaInUse() {
  static std::unique_ptr<AlsaCard> card;
  return card;
}
bool IsAlsa(const std::string& v) { return v == "alsa" || v.rfind("alsa:", 0) == 0; }
void ChooseAlsa(const std::string& v) { AlsaInUse() = std::make_unique<AlsaCard>(v); }
Card& Alsa() { return *AlsaInUse(); }
void ReleaseAlsa() { AlsaInUse().reset(); }

constexpr CardKind kCards[] = {
    {IsVirtual, ChooseVirtual, Virtual, ReleaseVirtual},
    {IsAlsa, ChooseAlsa, Alsa, ReleaseAlsa},
};

const CardKind* KindOf(const std::string& value) {
  for (const CardKind& k : kCards)
    if (k.takes(value)) return &k;
  return nullptr;
}

const CardKind*& Chosen() {
  static const CardKind* kind = nullptr;
  return kind;
}

}  // namespace

std::string CheckCardOption(const std::string& value) {
  if (KindOf(value)) return {};
  return "unknown card '" + value + "' (use --card=virtual or --card=alsa[:DEVICE])";
}

std::string ChooseCard(const PlatformOptions& options) {
  const CardKind* kind = KindOf(options.card);
  if (!kind) return CheckCardOption(options.card);
  kind->choose(options.card);
  // A card that refuses its options is not the one in use.
  if (auto e = kind->card().SetUp(options); !e.empty()) return e;
  Chosen() = kind;
  return {};
}

void InstallCard() {
  if (Chosen()) Chosen()->card().Install();
}

std::string SetUpCard(const PlatformOptions& options) {
  if (auto e = ChooseCard(options); !e.empty()) return e;
  InstallCard();
  return {};
}

std::string OpenCardOutputs(const PlatformOptions& options) {
  return TheCard().OpenOutputs(options);
}

Card& TheCard() { return Chosen() ? Chosen()->card() : TheVirtualCard(); }

int ListCards(const PlatformOptions& options) {
  const CardKind* kind = KindOf(options.card);
  if (!kind) return 2;
  kind->choose(options.card);
  kind->card().List(options);
  kind->release();
  return 0;
}

int FinishCard(int status) {
  TheCard().Finish();
  if (Chosen()) Chosen()->release();
  Chosen() = nullptr;
  return status;
}

}  // namespace platform
