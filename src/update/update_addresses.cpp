#include "update/update_addresses.h"

namespace pakeno {

const char* UpdatePageAddress() { return PAKENO_UPDATE_PAGE_ADDRESS; }
const char* ProbeAddress() { return PAKENO_PROBE_ADDRESS; }

}  // namespace pakeno
