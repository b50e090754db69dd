#pragma once

#include "res/DialogTemplate.h"

// The tables behind FindDialog, one function per template file.
namespace orvanta::res::detail {

const DialogTemplate& MainDialog(Language language);
const DialogTemplate& DataPageDialog(Language language);

} // namespace orvanta::res::detail
