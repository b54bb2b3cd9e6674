// What the run reads from the user's locale and the ANSI code page, once,
// when it starts; the helpers that need it are given the values.
#pragma once

#include "common/DateFormat.h"
#include "common/Text.h"

namespace reelstart {

// The lead bytes of the ANSI code page (none for Windows-1251).
TLeadBytes GetAnsiLeadBytes();

// The user's settings as the locale gives them now. A locale without a short
// date picture gets "m/d/yy"; a separator that is missing or longer than one
// byte becomes "/". Names the locale lacks stay empty.
TFormatSettings GetLocaleFormatSettings();

}  // namespace reelstart
