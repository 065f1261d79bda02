#include "commandContext.h"

#include <stdexcept>

#include "component.h"
#include "qzsdbg/debugLines.h"

namespace veskapp {

void CommandContext::printSuccess(const std::string& text) const {
  if (!quiet) out << "SUCCESS: " << text << std::endl;
}

void CommandContext::printResult(const std::string& text) const { out << text << std::endl; }

void reportUnimplementedAction() {
  static const char kMessage[] = " ERROR: Did not implement all actions for command.";
  // The lines name the console's main source, wherever the report is written.
  const qzsdbg_Site site = {"veskapp/source/main", __LINE__, "\n"};
  qzsdbg_printf("[%s|%s|%d] !!ASSERT!!\n", vesk_componentName, site.file, site.line);
  qzsdbg_printLine(&site, "%s", "ASSERT(false)");
  qzsdbg_printLine(&site, "%s", kMessage);
  qzsdbg_assertHook(&site, "ASSERT(false)");
  throw std::logic_error("Did not implement all actions for command.");
}

}  // namespace veskapp
