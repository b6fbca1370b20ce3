// SPDX-License-Identifier: MIT
#pragma once
// Whether the tests run under Wine, for the few expectations where Wine differs from Windows
// (each such place says how).

namespace marrowtune::test {

/// True in a Windows program running under Wine; false everywhere else.
bool underWine();

} // namespace marrowtune::test
