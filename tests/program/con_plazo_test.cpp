// Work on a stick run with a deadline: the caller gets the work's result, or gives up at the
// deadline on work that does not return (a stick that does not answer) and goes on.
#include "app/ConPlazo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using std::chrono::milliseconds;

TEST(ConPlazo, GivesTheWorksResultOrGivesUpOnWorkThatDoesNotReturn) {
  EXPECT_EQ(ConPlazo([] { return std::string("listado"); }, milliseconds(60000)), "listado");
  EXPECT_EQ(ConPlazo([]() -> int { throw std::runtime_error("bad"); }, milliseconds(60000)),
            std::nullopt);

  // Work held until the test lets it go: without the deadline the call would wait for ever.
  auto soltar = std::make_shared<std::promise<void>>();
  auto terminado = std::make_shared<std::promise<void>>();
  auto colgado = [liberado = soltar->get_future().share(), terminado] {
    liberado.wait();
    terminado->set_value();
    return 7;
  };
  EXPECT_EQ(ConPlazo(colgado, milliseconds(50)), std::nullopt);
  // Its thread ends once the work returns; its result goes nowhere.
  soltar->set_value();
  terminado->get_future().wait();
}

}  // namespace
