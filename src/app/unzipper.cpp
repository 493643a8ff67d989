#include "app/unzipper.h"
