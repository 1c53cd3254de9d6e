// Moved to recording/. Kept only until the rooms of the other packages of the
// re-fold include recording/ themselves; then this file goes.
#pragma once

#include "recording/Recording.h"
