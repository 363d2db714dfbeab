#pragma once

#include <QString>
#include <functional>

// A line shortened from the end until it fits: its last three characters become "...",
// then one more character goes before the "..." at each step. width measures a text.
QString ShortenToFit(const QString& text, int maxWidth, const std::function<int(const QString&)>& width);
