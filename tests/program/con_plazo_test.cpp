// Work on a stick run with a deadline: the caller gets the work's result, or gives up at the
// deadline on work that does not return (a stick that does not answer) and goes on; works
// started together run side by side, so that several sticks that do not answer cost one wait.
#include "app/ConPlazo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

using std::chrono::milliseconds;

template <class Trabajo>
auto ConPlazo(Trabajo trabajo, milliseconds plazo) {
  return Lanzar(std::move(trabajo)).Esperar(std::chrono::steady_clock::now() + plazo);
}

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

TEST(ConPlazo, WorksStartedTogetherRunSideBySide) {
  // The first returns only once the second has started: run one after the other, the first
  // would wait for ever.
  auto segunda_empezada = std::make_shared<std::promise<void>>();
  TEnCurso<int> primera = Lanzar([empezada = segunda_empezada->get_future().share()] {
    empezada.wait();
    return 1;
  });
  TEnCurso<int> segunda = Lanzar([segunda_empezada] {
    segunda_empezada->set_value();
    return 2;
  });
  const auto hasta = std::chrono::steady_clock::now() + milliseconds(60000);
  EXPECT_EQ(primera.Esperar(hasta), 1);
  EXPECT_EQ(segunda.Esperar(hasta), 2);
}

}  // namespace
