// `submit -n COPIES`: PAPPL 1.3.1 takes the count as "num-copies", which no
// request carries, so the job printed once. It is passed as -o copies=N.
#pragma once

namespace zova::app {

// Turns each "-n N" of a submit command line into "-o copies=N", in place.
void PassCopiesOption(int argc, char* argv[]);

}  // namespace zova::app
