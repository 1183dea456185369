// Shape does not depend on io, so this include is refused.
#include "io/reader.hpp"
