#include "vesksapi/session/parseJsonParams.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "jsonz/jsonString.h"
#include "testing/testStatus.h"

namespace {

using jsonz::jsonString;
using vesk::testing::TestStatus;

enum class Parser { syncDomain, createAndAdd, correlator };

std::string describe(const vesksapi::SyncDomainParams& p) {
  return p.uri + "|" + p.timescaleUri + "|" + std::to_string(p.maxOffset_ns) + "|" +
         std::to_string(p.minSyncDuration_ms);
}

std::string describe(const vesksapi::SdCreateAndAddRemoteDevicesParams& p) {
  std::string hosts;
  for (const std::string& host : p.remoteHosts) hosts += (hosts.empty() ? "" : ",") + host;
  return p.uri + "|" + p.timescaleUri + "|" + hosts + "|" + std::to_string(p.maxOffset_ns) + "|" +
         std::to_string(p.minSyncDuration_ms);
}

std::string describe(const vesksapi::CorrelatorParams& p) {
  return p.type + "|" + p.subType + "|" + p.timescaleUri1 + "|" + p.timescaleUri2 + "|" +
         std::to_string(p.samplingIntervalMs) + "|" + std::to_string(p.maxSampleSize) + "|" +
         std::to_string(p.maxWaitForFirstCorrelate_ms) + "|" + std::to_string(p.maxCacheSize);
}

template <typename Params, typename Parse>
std::string parseWith(Parse parse, const std::string& document) {
  Params params;
  parse(document, params);
  return describe(params);
}

// What a session operation would report: the fields read, or the status.
struct Outcome {
  int32_t code;
  std::string detail;
  std::string fields;
};

Outcome parse(Parser parser, const std::string& document) {
  TestStatus status;
  std::string fields;
  try {
    switch (parser) {
      case Parser::syncDomain:
        fields = parseWith<vesksapi::SyncDomainParams>(vesksapi::parseSyncDomainParamsJson, document);
        break;
      case Parser::createAndAdd:
        fields = parseWith<vesksapi::SdCreateAndAddRemoteDevicesParams>(
            vesksapi::parseSdCreateAndAddRemoteDevicesParams, document);
        break;
      case Parser::correlator:
        fields = parseWith<vesksapi::CorrelatorParams>(vesksapi::parseCorrelatorParamsJson, document);
        break;
    }
  } catch (...) {
    qzerr_statusFromCurrentException(status);
  }
  return {status.code(), status.json(), fields};
}

std::string envelope(const std::string& type, const std::string& params) {
  return R"({"version":1,"type":)" + type + R"(,"params":)" + params + "}";
}
std::string sd(const std::string& params) { return envelope(R"("syncDomainParams")", "{" + params + "}"); }
std::string sdMembers(const std::string& maxOffset, const std::string& minSync = "20") {
  return sd(R"("uri":"/sd","timescaleUri":"/ts","maxOffset_ns":)" + maxOffset + R"(,"minSyncDuration_ms":)" +
            minSync);
}
std::string caa(const std::string& params) {
  return envelope(R"("syncDomainCreateAndAddRemoteDevicesParams")", "{" + params + "}");
}
constexpr char kCaaHead[] = R"("uri":"/sd","timescaleUri":"/ts",)";
std::string corr(const std::string& params) { return envelope(R"("linearCorrelatorParams")", "{" + params + "}"); }
constexpr char kCorrHead[] = R"("timescaleUri1":"/a","timescaleUri2":"/b",)";

// The channel object of a parser error: its message and one text member.
std::string channel(const std::string& message, const std::string& key, const std::string& text) {
  return R"("qzsyncdomain_debug":{"message":)" + jsonString(message) + "," + jsonString(key) + ":" +
         jsonString(text) + "}";
}
std::string versionChannel(const std::string& message, int version, const std::string& key,
                           const std::string& document) {
  return R"("qzsyncdomain_debug":{"message":)" + jsonString(message) + R"(,"expectedVersion":1,"version":)" +
         std::to_string(version) + "," + jsonString(key) + ":" + jsonString(document) + "}";
}
std::string typeMismatch(const std::string& json, const std::string& key) {
  return R"("error_constant":"errCode","file":"jsonHelperFunctions")" + std::string("|") +
         R"("qzsync_debug":{"message":"Error parsing: expected data type does not match the parsed value.","JSON":)" +
         jsonString(json) + R"(,"key":)" + jsonString(key) + "}";
}
std::string unparsedKey(const std::string& key, const std::string& json) {
  return R"("error_constant":"qzkormerr_invalidParameter","file":"jsonHelperFunctions")" + std::string("|") +
         R"("qzsyncdomain_debug":{"message":"Failed to parse for the given Json key.","JsonKey":)" +
         jsonString(key) + R"(,"Json":)" + jsonString(json) + "}";
}
std::string stdException(const std::string& what) {
  return R"("file":"exception_errStatus")" + std::string("|") + R"("std_exception_what":)" + jsonString(what);
}
const std::string kParserFile = R"("file":"parseJsonParams","line":)";

struct Row {
  const char* name;
  Parser parser;
  std::string document;
  int32_t code;
  // Success: the fields read. Failure: pieces of the detail, split at '|'.
  std::string expected;
};

const std::string kSdMessage4 = "Error parsing 'uri' key from syncDomainParamsJson.";
const std::string kRow13 =
    "Failed to parse 'minSyncDuration_ms' key. Ensure the parameter is present in the 'params' value";

std::vector<Row> rows() {
  const std::string noVersion = R"({"type":"syncDomainParams","params":{}})";
  const std::string halfVersion = R"({"version":0.5,"type":"syncDomainParams","params":{}})";
  const std::string wrongType = envelope(R"("other")", "{}");
  const std::string caaNoHosts =
      caa(std::string(kCaaHead) + R"("remoteHosts":[],"maxOffset_ns":1,"minSyncDuration_ms":1)");
  const std::string corrNoType = R"({"version":1,"params":{}})";
  return {
      // Sync-domain documents.
      {"complete", Parser::syncDomain, sdMembers("1000"), 0, "/sd|/ts|1000|20"},
      {"names in any case, first match", Parser::syncDomain,
       R"({"VERSION":1,"Type":"syncDomainParams","PARAMS":{"URI":"/a","uri":"/b","TimescaleUri":"/ts",)"
       R"("MAXOFFSET_NS":5,"minsyncduration_ms":6}})",
       0, "/a|/ts|5|6"},
      {"version 1.5", Parser::syncDomain,
       R"({"version":1.5,"type":"syncDomainParams","params":{"uri":"/sd","timescaleUri":"/ts","maxOffset_ns":1,)"
       R"("minSyncDuration_ms":2}})",
       0, "/sd|/ts|1|2"},
      {"version 0.5", Parser::syncDomain, halfVersion, -52005,
       kParserFile + "|" +
           versionChannel("Unsupported version specified in syncDomainParamsJson or 'version' key is missing.", 0,
                          "syncDomainParamsJson", halfVersion)},
      {"version absent", Parser::syncDomain, noVersion, -52005,
       versionChannel("Unsupported version specified in syncDomainParamsJson or 'version' key is missing.", -1,
                      "syncDomainParamsJson", noVersion)},
      {"version null", Parser::syncDomain, R"({"version":null,"type":"syncDomainParams","params":{}})", -52005,
       R"("expectedVersion":1,"version":-1,)"},
      {"version as text", Parser::syncDomain, R"({"version":"1"})", -52004,
       typeMismatch(R"({"version":"1"})", "version")},
      {"document an array", Parser::syncDomain, "[1]", -52005, R"("version":-1,"syncDomainParamsJson":"[1]")"},
      {"not JSON", Parser::syncDomain, "{", -52005,
       R"("file":"jsonHelperFunctions"|"message":"Invalid json syncDomainParamsJson.")"
       R"(|"source":"parseSyncDomainParamsJson")"},
      {"other type", Parser::syncDomain, wrongType, -52005,
       kParserFile + R"(|"qzsyncdomain_debug":{"message":"Unsupported type specified in syncDomainParamsJson or )"
                     R"('type' key is missing.","expectedType":"syncDomainParams","type":"other",)"
                     R"("syncDomainParamsJson":)" +
           jsonString(wrongType) + "}"},
      {"type absent", Parser::syncDomain, R"({"version":1,"params":{}})", -52005,
       R"("expectedType":"syncDomainParams","type":"",)"},
      {"params absent", Parser::syncDomain, R"({"version":1,"type":"syncDomainParams"})", -52005,
       channel("Error parsing 'params' key from syncDomainParamsJson", "syncDomainParamsJson",
               R"({"version":1,"type":"syncDomainParams"})")},
      {"params an array", Parser::syncDomain, envelope(R"("syncDomainParams")", "[]"), -52004,
       R"("error_constant":"jsonErrorsNotAnObject")"},
      {"params null", Parser::syncDomain, envelope(R"("syncDomainParams")", "null"), -52004,
       R"("error_constant":"jsonErrorsNotAnObject")"},
      {"uri absent", Parser::syncDomain, sd(R"("timescaleUri":"/ts")"), -52005,
       kParserFile + "|" + channel(kSdMessage4, "paramsJson", R"({"timescaleUri":"/ts"})")},
      // The echo is the params as parsed, not as sent.
      {"uri absent among odd numbers", Parser::syncDomain, sd(R"("timescaleUri":"/ts", "x":1e400,"y":1.50)"), -52005,
       channel(kSdMessage4, "paramsJson", R"({"timescaleUri":"/ts","x":null,"y":1.5})")},
      {"timescaleUri absent", Parser::syncDomain, sd(R"("uri":"/sd")"), -52005,
       channel("Error parsing 'timescaleUri' key from syncDomainParamsJson.", "paramsJson", R"({"uri":"/sd"})")},
      {"minSyncDuration_ms absent", Parser::syncDomain,
       sd(R"("uri":"/sd","timescaleUri":"/ts","maxOffset_ns":1)"), -52005,
       channel(kRow13, "paramsJson", R"({"uri":"/sd","timescaleUri":"/ts","maxOffset_ns":1})")},
      {"minSyncDuration_ms null", Parser::syncDomain, sdMembers("1", "null"), 0, "/sd|/ts|1|0"},
      {"minSyncDuration_ms as text", Parser::syncDomain, sdMembers("1", R"("5")"), -52004,
       R"("error_constant":"errCode"|"key":"minSyncDuration_ms")"},

      // Numbers of "maxOffset_ns", the one member also read from a string.
      {"offset as decimal text", Parser::syncDomain, sdMembers(R"("1000")"), 0, "/sd|/ts|1000|20"},
      {"offset largest text", Parser::syncDomain, sdMembers(R"("4294967295")"), 0, "/sd|/ts|4294967295|20"},
      {"offset null", Parser::syncDomain, sdMembers("null"), 0, "/sd|/ts|4294967295|20"},
      {"offset -0.9", Parser::syncDomain, sdMembers("-0.9"), 0, "/sd|/ts|0|20"},
      {"offset 7.9", Parser::syncDomain, sdMembers("7.9"), 0, "/sd|/ts|7|20"},
      {"offset -1", Parser::syncDomain, sdMembers("-1"), -52003,
       stdException("bad numeric conversion: negative overflow")},
      {"offset 4294967296", Parser::syncDomain, sdMembers("4294967296"), -52003,
       stdException("bad numeric conversion: positive overflow")},
      {"offset text beyond 32 bits", Parser::syncDomain, sdMembers(R"("4294967297")"), -52005,
       unparsedKey("maxOffset_ns",
                   R"({"uri":"/sd","timescaleUri":"/ts","maxOffset_ns":"4294967297","minSyncDuration_ms":20})")},
      {"offset text beyond 64 bits", Parser::syncDomain, sdMembers(R"("99999999999999999999999")"), -52005,
       R"("message":"Failed to parse for the given Json key.","JsonKey":"maxOffset_ns")"},
      {"offset text with a tail", Parser::syncDomain, sdMembers(R"("12abc")"), -52005,
       R"("message":"Failed to parse for the given Json key.","JsonKey":"maxOffset_ns")"},
      {"offset negative text", Parser::syncDomain, sdMembers(R"("-1")"), -52005,
       R"("message":"Failed to parse for the given Json key.","JsonKey":"maxOffset_ns")"},
      {"offset text without digits", Parser::syncDomain, sdMembers(R"("x")"), -52003, stdException("stoul")},
      {"offset a bool", Parser::syncDomain, sdMembers("true"), -52004,
       R"("error_constant":"errCode"|"key":"maxOffset_ns")"},
      {"offset absent", Parser::syncDomain, sd(R"("uri":"/sd","timescaleUri":"/ts","minSyncDuration_ms":20)"),
       -52005, unparsedKey("maxOffset_ns", R"({"uri":"/sd","timescaleUri":"/ts","minSyncDuration_ms":20})")},

      // Create-and-add documents.
      {"create-and-add complete", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":["h1","h2","h1"],"maxOffset_ns":"7","minSyncDuration_ms":8)"), 0,
       "/sd|/ts|h1,h2,h1|7|8"},
      {"create-and-add null timescale and duration", Parser::createAndAdd,
       caa(R"("uri":"/sd","timescaleUri":null,"remoteHosts":["h"],"maxOffset_ns":1,"minSyncDuration_ms":null)"), 0,
       "/sd||h|1|4294967295"},
      {"create-and-add version", Parser::createAndAdd, R"({"version":2})", -52005,
       versionChannel("Unsupported version specified in the JSON parameters or version key was not found.", 2,
                      "paramsJson", R"({"version":2})")},
      {"create-and-add type", Parser::createAndAdd, sd(""), -52005,
       R"("message":"Unsupported type specified in the JSON parameters or type key was not found.",)"
       R"("expectedType":"syncDomainCreateAndAddRemoteDevicesParams","type":"syncDomainParams")"},
      {"create-and-add params", Parser::createAndAdd,
       R"({"version":1,"type":"syncDomainCreateAndAddRemoteDevicesParams"})", -52005,
       R"("message":"Error parsing 'params' key from paramsJson","paramsJson":)"},
      {"create-and-add uri absent", Parser::createAndAdd, caa(R"("timescaleUri":"/ts")"), -52005,
       channel("Failed to parse 'uri' key. Ensure the parameter is present in the 'params' value",
               "paramsJsonParamValues", R"({"timescaleUri":"/ts"})")},
      {"create-and-add timescaleUri absent", Parser::createAndAdd, caa(R"("uri":"/sd")"), -52005,
       channel("Failed to parse 'timescaleUri' key. Ensure the parameter is present in the 'params' value",
               "paramsJsonParamValues", R"({"uri":"/sd"})")},
      {"create-and-add hosts absent", Parser::createAndAdd, caa(R"("uri":"/sd","timescaleUri":"")"), -52005,
       channel("Failed to parse 'remoteHosts' key. Ensure the parameter is present in the 'params' value",
               "paramsJsonParamValues", R"({"uri":"/sd","timescaleUri":""})")},
      {"create-and-add hosts not an array", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":"h","maxOffset_ns":1,"minSyncDuration_ms":1)"), -52004,
       R"("error_constant":"jsonErrorsNotAnArray")"},
      {"create-and-add host a number", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":["h",1],"maxOffset_ns":1,"minSyncDuration_ms":1)"), -52004,
       R"("error_constant":"jsonErrorsTypeMismatch")"},
      {"create-and-add duration absent", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":["h"],"maxOffset_ns":1)"), -52005,
       R"("message":")" + kRow13 + R"(","paramsJsonParamValues":)"},
      {"create-and-add no hosts", Parser::createAndAdd, caaNoHosts, -52005,
       kParserFile + "|" +
           channel("Empty parameter 'uri' or 'remoteHosts'. Ensure these parameters have a value.", "paramsJson",
                   caaNoHosts)},
      {"create-and-add null hosts", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":null,"maxOffset_ns":1,"minSyncDuration_ms":1)"), -52005,
       R"("message":"Empty parameter 'uri' or 'remoteHosts'.)"},
      {"create-and-add empty uri", Parser::createAndAdd,
       caa(R"("uri":"","timescaleUri":"","remoteHosts":["h"],"maxOffset_ns":1,"minSyncDuration_ms":1)"), -52005,
       R"("message":"Empty parameter 'uri' or 'remoteHosts'.)"},
      {"create-and-add offset text beyond 32 bits", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":["h"],"maxOffset_ns":"4294967297","minSyncDuration_ms":1)"),
       -52005, R"("message":"Failed to parse for the given Json key.","JsonKey":"maxOffset_ns")"},

      // Correlator documents.
      {"correlator complete", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":10,"maxSampleSize":20,)"
                                     R"("maxWaitForFirstCorrelate_ms":30,"subType":"s","maxCacheSize":500)"),
       0, "linearCorrelatorParams|s|/a|/b|10|20|30|500"},
      {"correlator defaults", Parser::correlator,
       envelope("null", std::string("{") + kCorrHead + R"("samplingIntervalMs":100,"maxSampleSize":2})"), 0,
       "||/a|/b|100|2|200|0"},
      {"correlator wait saturates", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":2147483648,"maxSampleSize":2)"), 0,
       "linearCorrelatorParams||/a|/b|2147483648|2|4294967295|0"},
      {"correlator nulls keep presets", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":1,"maxSampleSize":2,)"
                                     R"("maxWaitForFirstCorrelate_ms":null,"subType":null,"maxCacheSize":null)"),
       0, "linearCorrelatorParams||/a|/b|1|2|0|0"},
      {"correlator version", Parser::correlator, R"({"version":0,"type":"t","params":{}})", -52005,
       R"("message":"Unsupported version specified in timestampCorrelatorParamsJson or 'version' key is missing",)"
       R"("expectedVersion":1,"version":0,"timestampCorrelatorParamsJson":)"},
      {"correlator type absent", Parser::correlator, corrNoType, -52005,
       channel("You must specify a type in timestampCorrelatorParamsJson.", "timestampCorrelatorParamsJson",
               corrNoType)},
      {"correlator params absent", Parser::correlator, R"({"version":1,"type":"t"})", -52005,
       channel("Error parsing 'params' key from timestampCorrelatorParamsJson", "timestampCorrelatorParamsJson",
               R"({"version":1,"type":"t"})")},
      {"correlator timescaleUri1 absent", Parser::correlator, corr(R"("timescaleUri2":"/b")"), -52005,
       channel("Missing 'timescaleUri1' parameter encountered in paramsJson.", "paramsJson",
               R"({"timescaleUri2":"/b"})")},
      {"correlator timescaleUri2 absent", Parser::correlator, corr(R"("timescaleUri1":"/a")"), -52005,
       channel("Missing 'timescaleUri2' parameter encountered in paramsJson.", "paramsJson",
               R"({"timescaleUri1":"/a"})")},
      {"correlator interval absent", Parser::correlator, corr(std::string(kCorrHead) + R"("maxSampleSize":2)"),
       -52005, R"("message":"Missing 'samplingInterval_ms' parameter encountered in paramsJson.","paramsJson":)"},
      {"correlator sample size absent", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":1)"), -52005,
       R"("message":"Missing 'maxSampleSize' parameter encountered in paramsJson.","paramsJson":)"},
      {"correlator interval as text", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":"1","maxSampleSize":2)"), -52004,
       R"("error_constant":"errCode"|"key":"samplingIntervalMs")"},
  };
}

// The fields read, or every piece of the expected detail.
void expectOutcome(const Row& row, const Outcome& outcome) {
  EXPECT_EQ(outcome.code, row.code) << outcome.detail.substr(0, 1000);
  if (row.code == 0) {
    EXPECT_EQ(outcome.fields, row.expected);
    return;
  }
  size_t from = 0;
  while (from <= row.expected.size()) {
    const size_t bar = row.expected.find('|', from);
    const std::string piece = row.expected.substr(from, bar == std::string::npos ? std::string::npos : bar - from);
    EXPECT_NE(outcome.detail.find(piece), std::string::npos)
        << "missing " << piece.substr(0, 1000) << "\nin " << outcome.detail.substr(0, 1000);
    if (bar == std::string::npos) break;
    from = bar + 1;
  }
}

TEST(ParseJsonParams, ReadsEachDocumentOrReportsItsRow) {
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.name);
    expectOutcome(row, parse(row.parser, row.document));
  }
}

// What a detail echoes of a long text: its first 4096 bytes and a marker.
std::string echoOf(const std::string& text) {
  return text.substr(0, 4096) + "...[cut from " + std::to_string(text.size()) + " bytes]";
}

std::string invalidJson(const std::string& message, const char* jsonzError, const std::string& position,
                        const std::string& document, const char* parser) {
  return R"("qzsyncdomain_debug":{"message":)" + jsonString(message) + R"(,"jsonzError":")" + jsonzError +
         R"(","position":)" + jsonString(position) + R"(,"jsonString":)" + jsonString(document) +
         R"(,"source":")" + parser + "\"}";
}

// The refusal of a document that holds an escaped NUL: it stops there.
std::string nulRefused(const std::string& message, const std::string& document, const char* parser) {
  return invalidJson(message, "jsonz_errorInvalidStringSequence", document.substr(document.find("\\u0000")), document,
                     parser);
}

// Texts a caller may send on purpose: every one fails with its own error, and
// however long the document, its detail stays a few KiB.
std::vector<Row> hostileRows() {
  const std::string controls(16 << 20, '\x01');
  const std::string pad = R"("pad":")" + std::string(16 << 20, 'x') + "\"";
  const std::string wrongType = envelope(R"("other")", "{" + pad + "}");
  const std::string noOffset = pad + R"(,"uri":"/sd","timescaleUri":"/ts","minSyncDuration_ms":1)";
  const std::string textDuration =
      pad + R"(,"uri":"/sd","timescaleUri":"/ts","maxOffset_ns":1,"minSyncDuration_ms":"1")";
  const std::string noHosts = pad + R"(,"uri":"/sd","timescaleUri":"")";
  const std::string caaNoHosts = caa(std::string(kCaaHead) + pad + R"(,"remoteHosts":[],"maxOffset_ns":1,)"
                                                                    R"("minSyncDuration_ms":1)");
  const std::string corrNoType = R"({"version":1,)" + pad + R"(,"params":{}})";
  const std::string nulUri = sd(R"("uri":"/sd\u0000/x","timescaleUri":"/ts","maxOffset_ns":1,"minSyncDuration_ms":1)");
  const std::string nulType =
      R"({"version":1,"type":"syncDomainParams\u0000x","params":{"uri":"/sd","timescaleUri":"/ts",)"
      R"("maxOffset_ns":1,"minSyncDuration_ms":1}})";
  const std::string nulHost =
      caa(std::string(kCaaHead) + R"("remoteHosts":["h\u0000"],"maxOffset_ns":1,"minSyncDuration_ms":1)");
  const std::string nulUri1 = corr(R"("timescaleUri1":"/a\u0000","timescaleUri2":"/b","samplingIntervalMs":1,)"
                                   R"("maxSampleSize":1)");
  const std::string positive = stdException("bad numeric conversion: positive overflow");
  const std::string negative = stdException("bad numeric conversion: negative overflow");
  const std::string unparsed = R"("message":"Failed to parse for the given Json key.","JsonKey":"maxOffset_ns")";
  return {
      // Echoes of huge texts, under each key that echoes a document.
      {"16 MiB of control characters", Parser::syncDomain, controls, -52005,
       invalidJson("Invalid json syncDomainParamsJson.", "jsonz_errorDoubleQuoteExpected", echoOf(controls),
                   echoOf(controls), "parseSyncDomainParamsJson")},
      {"huge document of another type", Parser::syncDomain, wrongType, -52005,
       R"("expectedType":"syncDomainParams","type":"other","syncDomainParamsJson":)" +
           jsonString(echoOf(wrongType)) + "}"},
      {"huge params without uri", Parser::syncDomain, sd(pad), -52005,
       channel(kSdMessage4, "paramsJson", echoOf("{" + pad + "}"))},
      {"huge params without offset", Parser::syncDomain, sd(noOffset), -52005,
       unparsedKey("maxOffset_ns", echoOf("{" + noOffset + "}"))},
      {"huge params with a text duration", Parser::syncDomain, sd(textDuration), -52004,
       typeMismatch(echoOf("{" + textDuration + "}"), "minSyncDuration_ms")},
      {"huge create-and-add params without hosts", Parser::createAndAdd, caa(noHosts), -52005,
       channel("Failed to parse 'remoteHosts' key. Ensure the parameter is present in the 'params' value",
               "paramsJsonParamValues", echoOf("{" + noHosts + "}"))},
      {"huge create-and-add document with no hosts", Parser::createAndAdd, caaNoHosts, -52005,
       channel("Empty parameter 'uri' or 'remoteHosts'. Ensure these parameters have a value.", "paramsJson",
               echoOf(caaNoHosts))},
      {"huge correlator document without type", Parser::correlator, corrNoType, -52005,
       channel("You must specify a type in timestampCorrelatorParamsJson.", "timestampCorrelatorParamsJson",
               echoOf(corrNoType))},

      // Numbers too large for a double are infinite, not null.
      {"version 1e400", Parser::syncDomain, R"({"version":1e400,"type":"syncDomainParams","params":{}})", -52003,
       positive},
      {"offset 1e400", Parser::syncDomain, sdMembers("1e400"), -52003, positive},
      {"offset -1e400", Parser::syncDomain, sdMembers("-1e400"), -52003, negative},
      {"duration 1e400", Parser::syncDomain, sdMembers("1", "1e400"), -52003, positive},
      {"create-and-add duration -1e400", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":["h"],"maxOffset_ns":1,"minSyncDuration_ms":-1e400)"), -52003,
       negative},
      {"create-and-add offset 1e400", Parser::createAndAdd,
       caa(std::string(kCaaHead) + R"("remoteHosts":["h"],"maxOffset_ns":1e400,"minSyncDuration_ms":1)"), -52003,
       positive},
      {"correlator interval 1e400", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":1e400,"maxSampleSize":2)"), -52003, positive},
      {"correlator wait -1e400", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":1,"maxSampleSize":2,)"
                                     R"("maxWaitForFirstCorrelate_ms":-1e400)"),
       -52003, negative},
      {"correlator cache size 1e400", Parser::correlator,
       corr(std::string(kCorrHead) + R"("samplingIntervalMs":1,"maxSampleSize":2,"maxCacheSize":1e400)"), -52003,
       positive},
      {"1e400 in a member nobody reads", Parser::syncDomain, sdMembers(R"(1,"extra":1e400)"), 0, "/sd|/ts|1|20"},

      // "maxOffset_ns" as text: digits only.
      {"offset text with leading zeros", Parser::syncDomain, sdMembers(R"("007")"), 0, "/sd|/ts|7|20"},
      {"offset text with blank and plus", Parser::syncDomain, sdMembers(R"(" +7")"), -52005, unparsed},
      {"offset text with plus", Parser::syncDomain, sdMembers(R"("+7")"), -52005, unparsed},
      {"offset text with a leading blank", Parser::syncDomain, sdMembers(R"(" 7")"), -52005, unparsed},
      {"offset text with a trailing blank", Parser::syncDomain, sdMembers(R"("7 ")"), -52005, unparsed},
      {"offset text minus zero", Parser::syncDomain, sdMembers(R"("-0")"), -52005, unparsed},
      {"offset text wrapping to 1", Parser::syncDomain, sdMembers(R"("-18446744073709551615")"), -52005, unparsed},
      {"offset text in hexadecimal", Parser::syncDomain, sdMembers(R"("0x7")"), -52005, unparsed},
      {"offset text with a letter first", Parser::syncDomain, sdMembers(R"("x7")"), -52005, unparsed},
      {"offset text empty", Parser::syncDomain, sdMembers(R"("")"), -52003, stdException("stoul")},
      {"offset text a blank and a sign", Parser::syncDomain, sdMembers(R"(" -")"), -52003, stdException("stoul")},

      // An escaped NUL would cut a string short.
      {"NUL in a uri", Parser::syncDomain, nulUri, -52005,
       nulRefused("Invalid json syncDomainParamsJson.", nulUri, "parseSyncDomainParamsJson")},
      {"NUL after the expected type", Parser::syncDomain, nulType, -52005,
       nulRefused("Invalid json syncDomainParamsJson.", nulType, "parseSyncDomainParamsJson")},
      {"NUL in a remote host", Parser::createAndAdd, nulHost, -52005,
       nulRefused("Invalid json paramsJson", nulHost, "parseSdCreateAndAddRemoteDevicesParams")},
      {"NUL in a correlator's timescale", Parser::correlator, nulUri1, -52005,
       nulRefused("Invalid json timestampCorrelatorParamsJson.", nulUri1, "parseCorrelatorParamsJson")},
  };
}

TEST(ParseJsonParams, RefusesHostileDocumentsWithBoundedDetails) {
  // Two echoes of 4096 bytes that each escape to six bytes a byte, and the rest.
  constexpr size_t kMostDetail = 2 * 6 * 4096 + 1024;
  for (const Row& row : hostileRows()) {
    SCOPED_TRACE(row.name);
    const Outcome outcome = parse(row.parser, row.document);
    expectOutcome(row, outcome);
    EXPECT_LT(outcome.detail.size(), kMostDetail);
  }
}

// A failing reader keeps what it read before the failure; the rest keeps its preset.
TEST(ParseJsonParams, FieldsReadBeforeAFailureStay) {
  vesksapi::SyncDomainParams params;
  EXPECT_THROW(vesksapi::parseSyncDomainParamsJson(sd(R"("uri":"/sd","timescaleUri":"/ts","maxOffset_ns":"x")"),
                                                   params),
               std::invalid_argument);
  EXPECT_EQ(describe(params), "/sd|/ts|0|0");
}

}  // namespace
