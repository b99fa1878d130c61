#include "suite/ClientProcs.h"

namespace suite {

const std::array<const char*, ClientApiCount> ClientApiNames = {
    "ClientApi_GetCurrentUserID",
    "ClientApi_RegisterEntityIcon",
    "ClientApi_CreateEntity",
    "ClientApi_DestroyEntity",
    "ClientApi_AddEntity",
    "ClientApi_QueryEntity",
    "ClientApi_QueryDocumentEntity",
    "ClientApi_GetDocumentEntityAbsoluteAddress",
    "ClientApi_GetDocumentOwnerBinder",
    "ClientApi_GetEditorKindByAddress",
    "ClientApi_CreateIterator",
    "ClientApi_DestroyIterator",
    "ClientApi_GetFirstEntity",
    "ClientApi_GetNextEntity",
    "ClientApi_OpenDocumentEntity",
    "ClientApi_SetAsCurrentDocument",
    "ClientApi_PerformAutoZoomForDocumentEntity",
    "ClientApi_RunDocumentPropertiesDialog",
    "ClientApi_RepopulateDocumentEntity",
    "ClientApi_FindChildDocumentInBinder",
    "ClientApi_FindDocumentByNameInSameFolder",
    "ClientApi_FindDocumentInstanceAlreadyOpen",
    "ClientApi_FindBinderFromAnyDataHandle",
    "ClientApi_FindEntityByStorageName",
    "ClientApi_FindEntityByDataHandle",
    "ClientApi_OLEDocumentIsCertified",
    "ClientApi_PerformBackupSaveForDocumentEntity",
    "ClientApi_PostNetworkMessage",
    "ClientApi_PerformSaveForDocumentEntity",
    "ClientApi_PerformLoadForDocumentEntity",
    "ClientAPI_CreateDocumentLoader",  // the host spells this one so
    "ClientApi_DestroyDocumentLoader",
    "ClientApi_DestroyDocumentLoaderEx",
    "ClientApi_LoadDocument",
    "ClientApi_ShowDocument",
};

HMODULE HostModule = nullptr;
std::array<FARPROC, ClientApiCount> ClientApi{};

void LoadClientApi() {
  HostModule = GetModuleHandleA(HostExecutable);
  for (std::size_t i = 0; i < ClientApiCount; ++i)
    ClientApi[i] = HostModule ? GetProcAddress(HostModule, ClientApiNames[i]) : nullptr;
}

void ClientProcs_Startup() { LoadClientApi(); }

}  // namespace suite
