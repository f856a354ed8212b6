#pragma once

namespace testsupport {

// Windows: gives every test a private HKEY_CURRENT_USER, a fresh key below the real one that
// is removed when the test ends, so no test reads or changes the user's settings and every
// test starts with nothing stored. Elsewhere it does nothing.
void IsolateRegistry();

} // namespace testsupport
