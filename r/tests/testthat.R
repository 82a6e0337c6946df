library(testthat)
library(growthfit)
test_check("growthfit")
