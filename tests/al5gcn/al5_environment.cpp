// Registers the Allegro environment once for the whole test program.
#include "al5_fixture.hpp"

namespace {
::testing::Environment* const allegro_environment =
    ::testing::AddGlobalTestEnvironment(new al5test::AllegroEnvironment);
}
