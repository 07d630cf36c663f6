#pragma once

// The stand-in's test helper moved to tests/platform/pst/; vcard_test.cpp still includes it
// from here until it moves to the vCard library's tests.
#include "tests/platform/pst/card_parsers.h"
