# Read by ctest when it starts: lists the test program's suites and adds one test per suite,
# run in one process with a filter. A process per test cost more than the short tests
# themselves (about 25 ms each, over 500 of them). BLOCKNEST_TEST_PROGRAM and
# BLOCKNEST_TEST_DATA are set by the file that includes this one.
execute_process(COMMAND "${BLOCKNEST_TEST_PROGRAM}" --gtest_list_tests
    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    # The listing failed: a test that runs it, so that ctest shows why.
    add_test(TestListing "${BLOCKNEST_TEST_PROGRAM}" --gtest_list_tests)
    return()
endif()
# A suite's line starts at the line's start and ends with a full stop; its tests are indented.
string(REGEX MATCHALL "\n[A-Za-z0-9_/]+\\." suites "\n${listing}")
foreach(entry IN LISTS suites)
    string(STRIP "${entry}" entry)
    string(REGEX REPLACE "\\.$" "" suite "${entry}")
    add_test("${suite}" "${BLOCKNEST_TEST_PROGRAM}" "--gtest_filter=${suite}.*")
    set_tests_properties("${suite}" PROPERTIES WORKING_DIRECTORY "${BLOCKNEST_TEST_DATA}")
endforeach()
