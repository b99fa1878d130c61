// A test-only module loaded under the host executable's name, exporting some of the host's
// client API entry points (one of them with the host's own spelling).

#include "tests/support/Library.h"

#define EXPORT TEST_EXPORT

EXPORT int ClientApi_GetCurrentUserID() { return 1; }
EXPORT int ClientApi_CreateEntity() { return 3; }
EXPORT int ClientAPI_CreateDocumentLoader() { return 31; }
EXPORT int ClientApi_ShowDocument() { return 35; }
