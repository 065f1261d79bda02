// The session's operations as one definition list, read by every file that
// expands them: the includer defines VESKSAPI_SESSION_SYMBOL(Result, name,
// (parameters, status), (arguments)) and includes this file. An error raised
// in an expansion names this list and the operation's own line as its site.
// clang-format off
VESKSAPI_SESSION_SYMBOL(void, loadResources,
    (std::string& loadedResourcesJson, const std::string& deviceParamsJson, qzerr_Status* status),
    (loadedResourcesJson, deviceParamsJson))
VESKSAPI_SESSION_SYMBOL(void, unloadResources,
    (const std::string& deviceParamsJson, qzerr_Status* status),
    (deviceParamsJson))
VESKSAPI_SESSION_SYMBOL(void, timescale_getTime,
    (const std::string& timescaleUri, vesklib_Timestamp* timestamp, qzerr_Status* status),
    (timescaleUri, timestamp))
VESKSAPI_SESSION_SYMBOL(void, timestampCorrelator_create,
    (const std::string& timestampCorrelatorParamsJson, qzerr_Status* status),
    (timestampCorrelatorParamsJson))
VESKSAPI_SESSION_SYMBOL(void, timestampCorrelator_delete,
    (const std::string& timescaleUri1, const std::string& timescaleUri2, qzerr_Status* status),
    (timescaleUri1, timescaleUri2))
VESKSAPI_SESSION_SYMBOL(void, timestampCorrelator_correlate,
    (const std::string& sourceTimescaleUri, const std::string& destTimescaleUri,
     const vesklib_Timestamp* timestampInSourceTimescale, vesklib_Timestamp* correlatedTimestamp,
     qzerr_Status* status),
    (sourceTimescaleUri, destTimescaleUri, timestampInSourceTimescale, correlatedTimestamp))
VESKSAPI_SESSION_SYMBOL(void, syncDomain_create,
    (const std::string& syncDomainParamsJson, qzerr_Status* status),
    (syncDomainParamsJson))
VESKSAPI_SESSION_SYMBOL(bool, syncDomain_start,
    (const std::string& syncDomainUri, uint32_t timeout_s, qzerr_Status* status),
    (syncDomainUri, timeout_s))
VESKSAPI_SESSION_SYMBOL(void, syncDomain_startV2,
    (const std::string& syncDomainUri, bool saveInitialCoherency, bool waitToBecomeCoherent, uint32_t timeout_s,
     qzerr_Status* status),
    (syncDomainUri, saveInitialCoherency, waitToBecomeCoherent, timeout_s))
VESKSAPI_SESSION_SYMBOL(void, syncDomain_stop,
    (const std::string& syncDomainUri, qzerr_Status* status),
    (syncDomainUri))
VESKSAPI_SESSION_SYMBOL(void, syncDomain_delete,
    (const std::string& syncDomainUri, qzerr_Status* status),
    (syncDomainUri))
VESKSAPI_SESSION_SYMBOL(void, syncDomain_addSyncableDevice,
    (const std::string& syncDomainUri, const std::string& syncableDeviceUri, qzerr_Status* status),
    (syncDomainUri, syncableDeviceUri))
VESKSAPI_SESSION_SYMBOL(bool, syncDomain_isCoherent,
    (const std::string& syncDomainUri, qzerr_Status* status),
    (syncDomainUri))
VESKSAPI_SESSION_SYMBOL(bool, syncDomain_isCoherentSinceLastChecked,
    (const std::string& syncDomainUri, qzerr_Status* status),
    (syncDomainUri))
VESKSAPI_SESSION_SYMBOL(void, syncDomain_createAndAddDevices,
    (std::string& result, const std::string& syncDomainParamsJson, qzerr_Status* status),
    (result, syncDomainParamsJson))
VESKSAPI_SESSION_SYMBOL(void, getTimescaleInfo, (std::string& info, qzerr_Status* status), (info))
VESKSAPI_SESSION_SYMBOL(void, getSyncableDeviceInfo, (std::string& info, qzerr_Status* status), (info))
VESKSAPI_SESSION_SYMBOL(void, getSyncDomainInfo, (std::string& info, qzerr_Status* status), (info))
VESKSAPI_SESSION_SYMBOL(void, getTimestampCorrelatorInfo, (std::string& info, qzerr_Status* status), (info))
// clang-format on
