#include "component.h"

const char vesk_componentName[] = "vesks";
