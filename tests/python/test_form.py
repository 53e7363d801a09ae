import concurrent.futures
import copy
import pickle
import threading

import pytest

import tolvar

FORM = """<h:html xmlns:h="h" xmlns:jr="jr"><h:head><model>
<instance><data id="f"><age/><n/><rep jr:template=""><x/></rep><rep><x/></rep><end/></data></instance>
<bind nodeset="/data/age" required="true()" constraint=". &lt; 100"/>
<bind nodeset="/data/n" calculate="/data/age * 2"/>
<bind nodeset="/data/end" constraint=". = today()"/>
</model></h:head></h:html>"""


@pytest.mark.parametrize(
    "method, signature, first_line",
    [
        ("findings", "($self, submission, today=None, now=None)",
         "What the form's own rules say about a submission: the same as"),
        ("session", "($self, instance=None, today=None, now=None)",
         "A Session of this form, which shares the loaded form instead of"),
        ("check", "($self)", "The form's portability findings, as check_form gives them."),
        ("map_findings", "($self, submissions, today=None, now=None, *, jobs=1, buffersize=None)",
         "Form.findings over many submissions, judged on `jobs` threads: an"),
    ],
)
def test_methods_carry_signature_and_docstring(method, signature, first_line):
    function = getattr(tolvar.Form, method)
    assert function.__text_signature__ == signature
    assert function.__doc__.splitlines()[0] == first_line


def corpus_pairs(corpus):
    for folder in sorted((corpus / "submissions").iterdir()):
        for submission in sorted(folder.glob("*.xml")):
            yield corpus / "forms" / (folder.name + ".xml"), submission


def test_findings_equal_submission_findings_over_every_corpus_pair(corpus):
    forms = {}
    pairs = list(corpus_pairs(corpus))
    assert pairs
    for form, submission in pairs:
        loaded = forms.setdefault(form, tolvar.Form(str(form)))
        for clock in [{}, {"today": "2024-05-06", "now": "2024-05-06T10:11:12.000Z"}]:
            expected = tolvar.submission_findings(str(form), str(submission), **clock)
            assert loaded.findings(str(submission), **clock) == expected, submission.name


@pytest.mark.parametrize("jobs, buffersize", [(1, None), (3, None), (1, 2), (3, 1), (3, 200)])
def test_map_findings_gives_what_findings_gives_in_order(corpus, jobs, buffersize):
    for form_path in sorted({form for form, _ in corpus_pairs(corpus)}):
        form = tolvar.Form(str(form_path))
        submissions = [str(s) for f, s in corpus_pairs(corpus) if f == form_path] * 3
        submissions.insert(len(submissions) // 2, "<not-this-form/>")
        submissions.insert(1, str(form_path.parent / "absent.xml"))
        got = [outcome(lambda s: s, findings)
               for findings in form.map_findings(iter(submissions), "2024-05-06", jobs=jobs,
                                                 buffersize=buffersize)]
        assert got == [outcome(lambda s: form.findings(s, "2024-05-06"), s) for s in submissions]


def outcome(call, argument):
    """The call's result, or its exception's type and message, to compare."""
    try:
        result = call(argument)
    except (ValueError, RuntimeError) as error:
        return type(error), str(error)
    return (type(result), str(result)) if isinstance(result, Exception) else result


@pytest.mark.parametrize("submissions, jobs, buffersize, error", [
    (["<data/>", 7], 2, None, TypeError),
    (["<data/>"], 0, None, ValueError),
    (None, 1, None, TypeError),
    (["<data/>"], 1, 0, ValueError),
    (["<data/>"], 1, "2", TypeError),
])
def test_map_findings_refuses_what_it_cannot_take(submissions, jobs, buffersize, error):
    with pytest.raises(error):
        tolvar.Form(FORM).map_findings(submissions, jobs=jobs, buffersize=buffersize)


@pytest.mark.parametrize("jobs", [1, 2])
def test_map_findings_with_a_buffer_takes_submissions_as_they_are_needed(jobs):
    taken = []

    def submissions():
        for age in range(1000):
            taken.append(age)
            yield f"<data><age>{age}</age></data>"
        yield 7  # no str: met only when the reader gets this far

    results = tolvar.Form(FORM).map_findings(submissions(), jobs=jobs, buffersize=5)
    read = 0
    with pytest.raises(TypeError):
        for _ in results:
            read += 1
            assert read < len(taken) <= read + 5
    assert read >= 1000 - 5


def test_map_findings_lets_go_of_workers_left_halfway():
    form = tolvar.Form(FORM)
    results = form.map_findings(["<data><age>150</age></data>"] * 20_000, jobs=4)
    assert next(results) == form.findings("<data><age>150</age></data>")
    del results  # stops and joins its threads


@pytest.mark.parametrize(
    "submission, clock",
    [
        ("<data><age/><n/><end/></data>", {}),
        ("<data><age>150</age><n>1</n><end>2020-01-01</end></data>", {"today": "2020-01-01"}),
        ("<data><age>5</age><n>10</n><end>2020-01-01</end></data>", {"today": "2020-01-02"}),
    ],
)
def test_a_form_judges_again_and_again_as_the_function_does(submission, clock):
    form = tolvar.Form(FORM)
    expected = tolvar.submission_findings(FORM, submission, **clock)
    assert [form.findings(submission, **clock) for _ in range(3)] == [expected] * 3


PATTERNS = """<h:html xmlns:h="h"><h:head><model>
<instance><data id="p"><a/><b/><c/><d/></data></instance>
<bind nodeset="/data/a" constraint="regex(., '\\d{3}')"/>
<bind nodeset="/data/b" constraint="regex(., '(')"/>
<bind nodeset="/data/c" constraint="regex(., concat('[a-z]', '+'))"/>
<bind nodeset="/data/d" constraint="regex(., '\\d{3}') and regex(., '\\w+')"/>
</model></h:head></h:html>"""


@pytest.mark.parametrize(
    "answers, failing",
    [
        # Unicode digits count, as regex() reads \d and \w.
        (("123", "x", "abc", "١٢٣"), ["/data/b"]),
        (("12", "x", "ABC", "12"), ["/data/a", "/data/b", "/data/c", "/data/d"]),
        (("1234", "", "", "x12"), ["/data/a", "/data/d"]),
    ],
)
def test_regex_patterns_judge_alike_in_a_loaded_form_and_in_one_call(answers, failing):
    submission = "<data>" + "".join(f"<{name}>{answer}</{name}>" for name, answer in
                                    zip("abcd", answers)) + "</data>"
    form = tolvar.Form(PATTERNS)
    found = [form.findings(submission) for _ in range(2)]
    assert found == [tolvar.submission_findings(PATTERNS, submission)] * 2
    assert sorted(finding["path"] for finding in found[0]) == failing
    # A pattern that does not build is reported as not evaluated, every time.
    assert {finding["kind"] for finding in found[0] if finding["path"] == "/data/b"} <= {
        "not-evaluated"}


PATHS = """<h:html xmlns:h="h"><h:head><model>
<instance><data id="p"><a/><b/><r><x/></r></data></instance>
<bind nodeset="/data/a" constraint="/data/r/x = 'b' and string(/data/r/x) = 'a' and count(/data/r/x) = 2"/>
<bind nodeset="/data/b" constraint="/data/a = 5 and /model/data/a = 5"/>
</model></h:head></h:html>"""


@pytest.mark.parametrize(
    "a, failing",
    [
        # Every row's node, the first in document order first; a first step
        # naming the evaluation root stands for the root itself.
        ("5", []),
        ("6", ["/data/b"]),
    ],
)
def test_absolute_paths_reach_every_node_they_name_in_order(a, failing):
    submission = f"<data><a>{a}</a><b>1</b><r><x>a</x></r><r><x>b</x></r></data>"
    form = tolvar.Form(PATHS)
    found = [form.findings(submission) for _ in range(2)]
    assert found[0] == found[1] == tolvar.submission_findings(PATHS, submission)
    assert [finding["path"] for finding in found[0]] == failing


@pytest.mark.parametrize(
    "make, error",
    [
        (lambda: tolvar.Form("<h:html"), RuntimeError),
        (lambda: tolvar.Form("/no/such/form.xml"), ValueError),
        (lambda: tolvar.Form(FORM).findings("<data>"), RuntimeError),
        (lambda: tolvar.Form(FORM).findings("/no/such/submission.xml"), ValueError),
        (lambda: tolvar.Form(FORM).findings(None), TypeError),
        (lambda: tolvar.Form(FORM).session(instance=b"<data/>"), TypeError),
    ],
)
def test_failures_raise_as_the_functions_do(make, error):
    with pytest.raises(error):
        make()


def test_check_is_check_form_of_its_text(corpus):
    path = corpus / "forms" / "javarosa__whova_form.xml"
    assert tolvar.Form(str(path)).check() == tolvar.check_form(str(path))


def test_a_form_pickles_to_an_equal_form_that_judges_the_same():
    form = tolvar.Form(FORM)
    again = pickle.loads(pickle.dumps(form))
    assert again == form and hash(again) == hash(form) and again is not form
    assert again != tolvar.Form(FORM.replace("100", "99"))
    submission = "<data><age>99</age></data>"
    assert again.findings(submission) == form.findings(submission)


def test_threads_share_one_form():
    form = tolvar.Form(FORM)
    submissions = [f"<data><age>{age}</age><end>2020-01-01</end></data>" for age in range(90, 110)]
    expected = [tolvar.submission_findings(FORM, s, "2020-01-01") for s in submissions]
    results = [None] * 4

    def work(slot):
        results[slot] = [form.findings(s, "2020-01-01") for s in submissions]

    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [expected] * 4


def test_sessions_of_a_form_start_as_a_session_of_its_text():
    form = tolvar.Form(FORM)
    instance = "<data id='f'><age>7</age><n/><rep><x/></rep><end/></data>"
    ours = form.session(instance, today="2020-01-01")
    theirs = tolvar.Session(FORM, instance, today="2020-01-01")
    assert ours.recompute() == theirs.recompute()
    assert ours.instance_xml() == theirs.instance_xml()


@pytest.mark.parametrize("duplicate", [copy.copy, copy.deepcopy,
                                       lambda session: pickle.loads(pickle.dumps(session))])
def test_a_session_copy_is_independent_and_starts_where_the_original_stands(duplicate):
    session = tolvar.Form(FORM).session(today="2020-01-01", now="2020-01-01T00:00:00.000Z")
    session.set("/data/age", "7")
    session.add_row("/data/rep")
    what_if = duplicate(session)
    assert what_if.instance_xml() == session.instance_xml()
    assert what_if.recompute() == copy.copy(session).recompute()
    what_if.set("/data/age", "150")
    what_if.remove_row("/data/rep", 1)
    assert session.get("/data/age") == "7"
    ours, theirs = session.recompute(), what_if.recompute()
    assert (ours["invalid"], theirs["invalid"]) == ([], [("/data/age", theirs["invalid"][0][1])])
    assert list(ours["repeats"].values()) == [2] and list(theirs["repeats"].values()) == [1]


def batch_of_submissions():
    ages = ["", "7", "150", "abc"]
    return [f"<data><age>{ages[n % 4]}</age><n>{n}</n><end>2020-01-01</end></data>" for n in range(40)]


def test_a_process_pool_judges_as_the_form_does_in_process():
    form = tolvar.Form(FORM)
    submissions = batch_of_submissions()
    with concurrent.futures.ProcessPoolExecutor(2) as pool:
        pooled = list(pool.map(form.findings, submissions, chunksize=8))
    assert pooled == [form.findings(s) for s in submissions]


def test_a_dask_local_cluster_judges_as_the_form_does_in_process():
    distributed = pytest.importorskip("dask.distributed")
    form = tolvar.Form(FORM)
    submissions = batch_of_submissions()
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        shared = client.scatter(form, broadcast=True)
        futures = client.map(lambda form, text: form.findings(text), [shared] * len(submissions),
                             submissions)
        assert client.gather(futures) == [form.findings(s) for s in submissions]
