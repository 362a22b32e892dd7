# Rscript round_trip.R OUTPUT SHEET HAND: kelmory-batch's OUTPUT of SHEET goes
# into metafor's escalc as it is, and gives what the HAND-completed sheet gives.
suppressPackageStartupMessages(library(metafor))
files <- commandArgs(trailingOnly = TRUE)
got <- read.csv(files[1], check.names = FALSE)
sheet <- read.csv(files[2], check.names = FALSE)
hand <- read.csv(files[3], check.names = FALSE)
md <- function(data) {
  escalc(measure = "MD", m1i = m1i, sd1i = sd1i, n1i = n1i,
         m2i = m2i, sd2i = sd2i, n2i = n2i, data = data)
}
from_output <- md(got)
from_hand <- md(hand)
failures <- character()
if (!identical(got$study, hand$study)) failures <- c(failures, "the studies differ")
for (column in c("yi", "vi")) {
  if (!identical(as.numeric(from_output[[column]]), as.numeric(from_hand[[column]]))) {
    failures <- c(failures, sprintf("%s: %s from the output, %s by hand", column,
      paste(format(from_output[[column]], digits = 17), collapse = " "),
      paste(format(from_hand[[column]], digits = 17), collapse = " ")))
  }
}
# Every cell the sheet gives is kept.
for (column in names(sheet)) {
  given <- !is.na(sheet[[column]]) & sheet[[column]] != ""
  if (!identical(got[[column]][given], sheet[[column]][given]))
    failures <- c(failures, sprintf("column %s was changed", column))
}
# metacont of meta takes the same columns: mean.e = m1i, sd.e = sd1i, n.e = n1i.
if (length(failures)) {
  cat(paste("FAIL:", failures), sep = "\n")
  quit(status = 1)
}
cat("escalc gives the same yi and vi from kelmory-batch's output as from the hand-completed sheet\n")
