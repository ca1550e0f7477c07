#include "cloud/GeneralText.h"
