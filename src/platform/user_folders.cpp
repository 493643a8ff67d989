#include "platform/user_folders.h"
