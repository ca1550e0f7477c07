#pragma once

#include <QLoggingCategory>

// Warnings of the skin layer (unknown tags and attributes, missing images).
// Tests install a message handler and fail on any of them.
Q_DECLARE_LOGGING_CATEGORY(lcKelsorUi)
