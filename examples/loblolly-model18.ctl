Loblolly pine, 14 seed sources: model 18 (local asymptote and rate, fixed start)
3 2 14
1 1 1 1
1 50 1e-5
0.5 0.1 0.05        starting power, process deviation, error deviation
18 10 10            model number; model constants = the age and height scales
