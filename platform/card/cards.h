// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table of cards: which --card values there are, the one chosen, and its
// set-up, listing and finish. A new card is one folder under card/ and one
// row in cards.cpp.
#include <string>

#include "platform/card/card.h"

namespace platform {

// The --card value: empty if some card takes it, else a message naming it.
std::string CheckCardOption(const std::string& value);

// Chooses the card of options.card and sets it up from the options, opening
// no device and creating no file, so that a script can be checked against
// it: empty, or a message naming the bad option.
std::string ChooseCard(const PlatformOptions& options);
// Puts the chosen card behind the wave, volume and mixer calls.
void InstallCard();
// ChooseCard, then InstallCard.
std::string SetUpCard(const PlatformOptions& options);
// Creates the files the options name, on the card set up: empty, or why not.
std::string OpenCardOutputs(const PlatformOptions& options);
// The chosen card; the virtual card until another is set up.
Card& TheCard();
// --list-cards: the chosen card's PCM and mixer devices, one a line, on
// stdout; returns the exit status.
int ListCards(const PlatformOptions& options);
// After the program body: files finished, threads joined; returns the status.
int FinishCard(int status);

}  // namespace platform
