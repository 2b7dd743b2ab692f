#pragma once

namespace tvi {

// How a run ended when it did not fail (a failure is an Error thrown).
enum class Outcome {
  Finished,     // "Proceso finalizado" was shown; ResultadoTransformacion = 1
  MissingInput  // the input file was missing; in host mode the flag is -1
};

}  // namespace tvi
