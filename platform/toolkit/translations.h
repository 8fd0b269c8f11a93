// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt's own words (file dialogs, message boxes, standard buttons) in Czech,
// as the rest of the instrument, whatever the desktop's language.
namespace platform {

// Loads Qt's Czech translations into the running application; false if
// they are not installed (Qt's words stay English).
bool LoadQtTranslations();

}  // namespace platform
