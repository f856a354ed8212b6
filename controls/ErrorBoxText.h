#pragma once

// The rule moved to the ui layer; the shell controls still include it from here.
#include "ui/ErrorBoxText.h"
