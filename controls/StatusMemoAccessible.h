#pragma once

// Makes TStatusMemo known to assistive tools: its text, caret and selection, and editing when
// it is not read-only. Safe to call any number of times; the first call installs it.
void InstallStatusMemoAccessible();
