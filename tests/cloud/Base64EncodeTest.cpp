#include "cloud/Base64.h"
