#pragma once

#include <QString>

// The operating system's reason for a failed file operation, as Qt words it in English, put
// into Traditional Chinese. Reasons we have no wording for keep the system's text after ours.
QString osReason(const QString& systemText);

// Why path cannot be written (the file, or its folder when there is none yet), asked of the
// system itself; empty when the system sees no obstacle.
QString whyNotWritable(const QString& path);
