// Standard input, output and error as the program's first act.
#pragma once

namespace sstrxv {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so
// that no file or connection the program opens later becomes one of them
// and receives what is meant for the console. Called first thing in every
// program's main. A descriptor that cannot be filled stays closed.
void openClosedStandardDescriptors() noexcept;

}  // namespace sstrxv
