#include "app/ui_settings.h"
