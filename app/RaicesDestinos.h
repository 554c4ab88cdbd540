// What the destinations hold now, looked at from a handle of each one's root so that no link on
// a stick is followed: the test of a saved copy list and of a cancel for work still to do.
// Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/TDHilo.h"
#include "platform/env.h"
#include "records/TFRec.h"

class TRaicesDestinos {
 public:
  // Opens the root of every worker in `hilos` but `origen`, once per volume serial.
  TRaicesDestinos(platform::Env& env, const std::vector<std::shared_ptr<TDHilo>>& hilos,
                  const TDHilo* origen);
  ~TRaicesDestinos();
  TRaicesDestinos(const TRaicesDestinos&) = delete;
  TRaicesDestinos& operator=(const TRaicesDestinos&) = delete;

  // Whether the destination with serial `serie` holds the record's entry now (a folder, or a
  // file of the same size and minute); false for a drive that is not present.
  bool Tiene(const TFRec& rec, std::uint32_t serie) const;

 private:
  platform::Env& env_;
  std::map<std::uint32_t, platform::Handle> abiertas_;
};
