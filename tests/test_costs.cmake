# The long suites' rough seconds, so that ctest starts them first on a fresh build tree and
# runs the short ones beside them (later runs use the times ctest records). Read after the
# suites are listed; ctest passes over a name this build does not have (ServerTest without
# the server).
set(blocknest_test_costs
    "SearchRunTest" 7
    "StarsAndFrames/SeparationRoundTest" 5
    "ServerTest" 5
    "SheetSearchTest" 4
    "JobTest" 4
    "StockSearchTest" 3
    "SearchBudgetTest" 3
    "SeparationTest" 3
    "SvgWriterTest" 2
    "SheetEmptyingTest" 2
    "HostileInputTest" 2)
list(LENGTH blocknest_test_costs count)
math(EXPR last "${count} - 1")
foreach(at RANGE 0 ${last} 2)
    math(EXPR next "${at} + 1")
    list(GET blocknest_test_costs ${at} name)
    list(GET blocknest_test_costs ${next} cost)
    set_tests_properties("${name}" PROPERTIES COST ${cost})
endforeach()
