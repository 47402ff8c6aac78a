# The long tests' rough seconds, so that ctest starts them first on a fresh build tree and
# runs the short ones beside them (later runs use the times ctest records). Read after the
# tests are listed; ctest passes over a name this build does not have (ServerTest without
# the server). A parameterised test's name ends with its parameter.
set(blocknest_test_costs
    "SearchRunTest.ASearchOverSeveralSheetsStaysWithinItsBudgetAndBehindNoPlainRun" 6
    "StockSearchTest.FewerOrAsManySheetsOfTheStockWithTheGapsKept" 5
    "SeparationTest.AnEvaluationBudgetGivesTheSameLayoutOnAnyThreadCount" 5
    "SheetSearchTest.NeverBehindItsStartApartOnEverySheetAndTheSameOnAnyThreadCount" 4
    "StarsAndFrames/SeparationRoundTest.WrittenLayoutsPassIndependentChecksAndNeverLoseToTheFirstPhase/Plain  # GetParam() = 0" 2
    "StarsAndFrames/SeparationRoundTest.WrittenLayoutsPassIndependentChecksAndNeverLoseToTheFirstPhase/Spaced  # GetParam() = 1" 2
    "StarsAndFrames/SeparationRoundTest.WrittenLayoutsPassIndependentChecksAndNeverLoseToTheFirstPhase/Mirrored  # GetParam() = 2" 3
    "StarsAndFrames/SeparationRoundTest.WrittenLayoutsPassIndependentChecksAndNeverLoseToTheFirstPhase/MirroredAndSpaced  # GetParam() = 3" 2
    "StarsAndFrames/SeparationRoundTest.WrittenLayoutsPassIndependentChecksAndNeverLoseToTheFirstPhase/ExactPhaseEightTurnsMirrored  # GetParam() = 4" 3
    "StarsAndFrames/SeparationRoundTest.WrittenLayoutsPassIndependentChecksAndNeverLoseToTheFirstPhase/ExactPhaseEightTurnsMirroredAndSpaced  # GetParam() = 5" 3
    "SearchChecksTest.TheBestReportedNeverWorsensAndIsTheLayoutReturned" 2
    "ServerTest.PartRowsLayoutsAsTheSearchGoesAndTheCutFilesInOneArchive" 3)
list(LENGTH blocknest_test_costs count)
math(EXPR last "${count} - 1")
foreach(at RANGE 0 ${last} 2)
    math(EXPR next "${at} + 1")
    list(GET blocknest_test_costs ${at} name)
    list(GET blocknest_test_costs ${next} cost)
    set_tests_properties("${name}" PROPERTIES COST ${cost})
endforeach()
