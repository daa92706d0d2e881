// Connects opened shows to the show model: a locator builds its TDaxSource on request.
#pragma once

#include <string>

#include "container/ShowLocator.h"
#include "show/DaxSource.h"

namespace dax::show {

// Registers the factory TDaxShowLocator::Source uses. programPath is the player's own file
// (its ".scr" extension selects screen-saver mode). The factory lets the source's
// EAssertionFailed ("Incorrect time") through to the caller of Source().
void RegisterShowSourceFactory(const std::string& programPath);

// The source of an opened show, built directly; null with the player's error text. An
// assertion failure ("Incorrect time") has written that text to stderr and the log already;
// alreadyReported, when given, then says so.
TRef<TDaxSource> CreateShowSource(container::TDaxShowLocator& locator,
                                  const std::string& programPath, std::string& error,
                                  bool* alreadyReported = nullptr);

}  // namespace dax::show
