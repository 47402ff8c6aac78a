#include "job/job.hpp"

namespace blocknest {

const char* libraryVersion() { return BLOCKNEST_VERSION; }

}  // namespace blocknest
