#pragma once

#include "settings/VersionInfo.h"

#include <functional>
#include <optional>

// The running program's version resource as the controls read it (VersionResource,
// MakeTranslation and TranslationBlockName come with it), or std::nullopt when its file
// carries none.
std::optional<VersionResource> ReadProgramVersionResource();

// Tests replace the reader; an empty function (or the reset) goes back to the real one.
void SetVersionResourceReader(std::function<std::optional<VersionResource>()> reader);
void ResetVersionResourceReader();
