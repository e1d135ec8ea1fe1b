// The protocol files the user opened or saved last, newest first, kept across runs.
#pragma once

#include <QStringList>

inline constexpr int kRecentFileCount = 8;

QStringList RecentFiles();
// Puts the file first (its absolute path), keeping at most kRecentFileCount.
void AddRecentFile(const QString& path);
void RemoveRecentFile(const QString& path);
