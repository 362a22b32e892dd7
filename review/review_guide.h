#pragma once
// The Help menu's guide: the columns the window reads, the kinds of row and
// what each result column means, as the manual page tells them.

namespace kelmory::review {

inline constexpr char kGuideHtml[] = R"html(
<h2>Kelmory Review</h2>
<p>One study a row. The window reads each row's own cells and adds the
study's standard deviation (SD) and how it was found, by the same rules as
kelmory-batch. Below the table is the working of the current row.</p>

<h3>The columns it reads</h3>
<p>Columns are found by name, in any case; every other column is kept as it
is.</p>
<table border="0" cellspacing="2" cellpadding="2">
<tr><td><b>n</b></td><td>the sample size, a whole number</td></tr>
<tr><td><b>se</b></td><td>the standard error</td></tr>
<tr><td><b>ci</b></td><td>the half-width of the confidence interval (its &plusmn; part)</td></tr>
<tr><td><b>lower</b>, <b>upper</b></td><td>the bounds of the interval</td></tr>
<tr><td><b>mean</b></td><td>the mean, checked against the bounds</td></tr>
<tr><td><b>level</b></td><td>the row's confidence level in percent: 95 or 95%, never 0.95</td></tr>
<tr><td><b>z</b></td><td>a critical value of your own for the row</td></tr>
<tr><td><b>median</b>, <b>q1</b>, <b>q3</b>, <b>min</b>, <b>max</b></td><td>a median with its quartiles or range</td></tr>
<tr><td><b>n1</b>, <b>n2</b>, <b>md</b>, <b>t</b>, <b>p</b></td><td>a difference between two groups</td></tr>
<tr><td><b>n_1</b>, <b>mean_1</b>, <b>sd_1</b>, ...</td><td>subgroups to combine</td></tr>
<tr><td><b>sd_baseline</b>, <b>sd_final</b>, <b>sd_change</b></td><td>the SDs at baseline, at the end and of the change</td></tr>
<tr><td><b>corr</b></td><td>the correlation between a participant's two measurements</td></tr>
<tr><td><b>or</b>, <b>rr</b>, <b>hr</b></td><td>an odds, risk or hazard ratio</td></tr>
<tr><td><b>n.e</b>, <b>sd.c</b>, <b>n1i</b>, <b>m1i</b>, ...</td><td>the columns of an arm: a one-group name with the arm's suffix</td></tr>
</table>

<h3>The kinds of row</h3>
<ul>
<li><b>Standard error</b>: n and se; sd = &radic;n &times; se.</li>
<li><b>Interval</b>: n with ci, or with lower and upper; sd = &radic;n &times;
half-width / critical value, with Student's t (n &minus; 1 degrees of freedom)
or the normal z as chosen above the table, at the row's level or the
default level.</li>
<li><b>Median</b>: n (at least 5) with min, median and max (median-range), q1,
median and q3 (median-iqr) or all five (median-five). The mean follows Luo et
al. (2018), the SD Wan et al. (2014) or, with all five, Shi et al. (2020).
The Method menu may put a skewed-data estimate beside it, in mean_normal,
sd_normal, mean_skewed, sd_skewed and skewed_method: QE (McGrath et al. 2020,
the best fit of the normal, log-normal, gamma, Weibull and beta
distributions), the log-normal method (Shi et al. 2020), or QE only where the
skewness test fires; the choice fills sd and the mean.</li>
<li><b>Mean with a range</b>: n (at least 5), mean and min and max (mean-range),
q1 and q3 (mean-iqr) or all four (mean-five), and no median: the mean is the
paper's, the SD Wan et al. (2014) or Shi et al. (2020).</li>
<li><b>Two groups</b>: n1 and n2 with se, an interval, md with t, or md with
the two-sided p of an unpaired t test (two-group p); the SD common to both
groups.</li>
<li><b>Paired difference</b>: n and md (no n1, n2) with se, an interval, t or
the p of a paired t test; the SD of the differences, SE &times; &radic;n. With
corr, sd_within is the SD of each period, SD / &radic;(2(1 &minus; r)).</li>
<li><b>Change from baseline</b>: sd_baseline and sd_final with corr give the
SD of the change (Cochrane Handbook 6.5.2.8); with sd_change instead, the
three SDs give the correlation, corr_estimated. Rows with neither take the
correlation chosen in the Method menu: a value of your own, or the mean of
the table's own correlations (through Fisher's z).</li>
<li><b>Ratio</b>: or, rr or hr with lower and upper (and level), or with p;
no n needed. log_ratio and se_log_ratio for an inverse-variance analysis
(Cochrane Handbook 6.3.2), with a warning when the interval is not symmetric on
the log scale.</li>
<li><b>Subgroups</b>: two or more complete subgroups combined into one
group, after the Cochrane Handbook's Table 6.5.a.</li>
</ul>
<p>A row that mixes kinds, or lacks what its kind needs, is refused and says
why. A row of empty cells is passed over.</p>

<h3>Two arms a row</h3>
<p>A sheet with both arms of a study on one row names each arm's columns
with a suffix: a dot and a label (<b>n.e</b>, <b>mean.e</b>, <b>sd.e</b> and
<b>.c</b> as meta names them, <b>med.g1</b> and <b>.g2</b> as metamedian
does, or <b>se.placebo</b>), or metafor's number and i, with m for the mean
(<b>n1i</b>, <b>m1i</b>, <b>sd1i</b>, <b>n2i</b>). Each arm is read as a row
of its own and has its own results, <b>method.e</b> to <b>refusal.e</b>,
beside its last column, under a band of its colour in the header. An arm
that gives only its n takes the SD common to both arms from the row's
difference: <b>md</b> with <b>t</b> or <b>p</b>, or the <b>se</b>,
<b>ci</b>, or <b>lower</b> and <b>upper</b> of the difference. An arm's own
SD is kept, and an arm without a level of its own takes the row's
<b>level</b>. The working below the table tells each arm under its label.</p>

<h3>The result columns</h3>
<table border="0" cellspacing="2" cellpadding="2">
<tr><td><b>sd</b></td><td>the standard deviation, by the row's method</td></tr>
<tr><td><b>estimated_mean</b></td><td>the estimated mean of a median row, the combined mean of subgroups</td></tr>
<tr><td><b>total_n</b></td><td>the combined size of subgroups</td></tr>
<tr><td><b>log_ratio</b>, <b>se_log_ratio</b></td><td>a ratio's natural log and its standard error</td></tr>
<tr><td><b>sd_within</b></td><td>the SD of each period of a paired row</td></tr>
<tr><td><b>corr_estimated</b></td><td>the correlation that a change row's three SDs give</td></tr>
<tr><td><b>mean_normal</b>, <b>sd_normal</b>, <b>mean_skewed</b>, <b>sd_skewed</b>, <b>skewed_method</b></td><td>a median row's two estimates side by side</td></tr>
<tr><td><b>method</b></td><td>how the SD was found: se, t, z, user (the row's own z), median-range, median-iqr, median-five, mean-range, two-group p, ...</td></tr>
<tr><td><b>critical_value</b></td><td>the divisor of the interval's half-width</td></tr>
<tr><td><b>df</b></td><td>the degrees of freedom of the t value</td></tr>
<tr><td><b>sd_z</b>, <b>sd_t</b></td><td>the SD under z and under Student's t, side by side</td></tr>
<tr><td><b>z_t_gap_percent</b></td><td>how much larger the SD is under z than under t, in percent</td></tr>
<tr><td><b>warning</b></td><td>what to check in the row (shaded yellow)</td></tr>
<tr><td><b>refusal</b></td><td>why the row has no SD (shaded red)</td></tr>
</table>

<h3>Keys</h3>
<p>Paste (Ctrl+V) reads a spreadsheet's cells; a first line that names n is
a header. Copy (Ctrl+C) and Cut (Ctrl+X) give tab-separated text; Delete
clears the selected cells. Enter moves down, Tab along the row. Type a new
study into the row marked *. Every change, the method and the level
included, is one step of Undo (Ctrl+Z) and Redo.</p>
<p>Numbers are shown to 15 significant digits, as spreadsheets hold them;
Save and Export write the exact shortest text of each number.</p>
)html";

}  // namespace kelmory::review
