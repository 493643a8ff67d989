#include "platform/ini_profile.h"
