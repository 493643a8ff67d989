#include "app/settings_archive.h"
